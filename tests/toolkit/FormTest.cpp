// The form as the toolkit builds it from a layout description, and the one place where events are
// dispatched: what a handler throws is shown in the error box, and the program goes on.

#include "../support/ErrorBoxes.h"

#include "toolkit/Application.h"
#include "toolkit/Button.h"
#include "toolkit/Form.h"
#include "toolkit/Image.h"
#include "toolkit/Timer.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

class TTestForm : public TForm
{
public:
    TImage *Picture = nullptr;
    TButton *Button = nullptr;
    TTimer *Clock = nullptr;

    void ButtonClick(TObject *)
    {
        ++clicks;
        if (onClick)
            onClick();
    }
    void ClockTimer(TObject *)
    {
        ++ticks;
        if (onTick)
            onTick();
    }
    void FormClose(TObject *, TCloseAction &Action)
    {
        if (closeAction)
            Action = *closeAction;
    }

    int clicks = 0;
    int ticks = 0;
    std::function<void()> onClick;
    std::function<void()> onTick;
    std::optional<TCloseAction> closeAction;

    explicit TTestForm(TComponent *Owner) : TForm(Owner) {}

    static TPublished<TTestForm> Published()
    {
        return TPublished<TTestForm>("TTestForm")
            .Field("Picture", &TTestForm::Picture)
            .Field("Button", &TTestForm::Button)
            .Field("Clock", &TTestForm::Clock)
            .Handler("ButtonClick", &TTestForm::ButtonClick)
            .Handler("ClockTimer", &TTestForm::ClockTimer)
            .Handler("FormClose", &TTestForm::FormClose);
    }
};

const QString PictureEntry =
    R"({"name": "Picture", "class": "TImage",
        "properties": {"Left": 8, "Top": 8, "Width": 100, "Height": 100}})";
const QString ButtonEntry =
    R"({"name": "Button", "class": "TButton",
        "properties": {"Left": 50, "Top": 50, "Width": 80, "Height": 30, "Caption": "Go",
                       "TabOrder": 0, "OnClick": "ButtonClick"}})";
const QString ClockEntry =
    R"({"name": "Clock", "class": "TTimer",
        "properties": {"Enabled": false, "Interval": 1, "OnTimer": "ClockTimer"}})";

QString Layout(const QStringList &controls = {PictureEntry, ButtonEntry, ClockEntry})
{
    return QString(R"({"name": "TestForm", "class": "TTestForm",
        "properties": {"Left": 10, "Top": 10, "Width": 320, "Height": 240, "Caption": "Test",
                       "Color": "clBtnFace", "PixelsPerInch": 96, "OnClose": "FormClose"},
        "controls": [%1]})")
        .arg(controls.join(", "));
}

std::unique_ptr<TTestForm> FormFrom(const QString &layout)
{
    auto form = std::make_unique<TTestForm>(nullptr);
    form->ReadLayout(TTestForm::Published(), layout.toStdString());
    return form;
}

// What a handler throws, for tables of cases.
using Throw = std::function<void()>;

} // namespace

Q_DECLARE_METATYPE(Throw)

class FormTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TApplication> application;

private slots:
    void init()
    {
        application = std::make_unique<TApplication>();
        Application = application.get();
    }

    void cleanup()
    {
        Application = nullptr;
        application.reset();
    }

    void layoutWithAnUnknownNameFailsNamingIt_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("named");

        const QString good = Layout();
        auto replaced = [&good](const QString &from, const QString &to) {
            Q_ASSERT(good.contains(from));
            return QString(good).replace(from, to);
        };
        QTest::newRow("unknown control class")
            << replaced(R"("class": "TButton")", R"("class": "TLabel")") << "TLabel";
        QTest::newRow("layout of another form class")
            << replaced(R"("class": "TTestForm")", R"("class": "TOtherForm")") << "TOtherForm";
        QTest::newRow("unknown control property")
            << replaced(R"("TabOrder")", R"("TabStop")") << "TabStop";
        QTest::newRow("unknown form property")
            << replaced(R"("Caption": "Test")", R"("Title": "Test")") << "Title";
        QTest::newRow("unknown system colour")
            << replaced(R"("clBtnFace")", R"("clHotPink")") << "clHotPink";
        QTest::newRow("control for no published field")
            << replaced(R"("name": "Button")", R"("name": "Button2")") << "Button2";
        QTest::newRow("published field with no control")
            << Layout({PictureEntry, ButtonEntry}) << "Clock";
        QTest::newRow("unknown click handler")
            << replaced(R"("OnClick": "ButtonClick")", R"("OnClick": "ButtonPressed")")
            << "ButtonPressed";
        QTest::newRow("close handler bound to a click")
            << replaced(R"("OnClick": "ButtonClick")", R"("OnClick": "FormClose")") << "FormClose";
        QTest::newRow("click handler bound to the close")
            << replaced(R"("OnClose": "FormClose")", R"("OnClose": "ButtonClick")")
            << "ButtonClick";
        QTest::newRow("not JSON") << replaced(R"("controls": [)", R"("controls": [[)") << "JSON";
    }

    void layoutWithAnUnknownNameFailsNamingIt()
    {
        QFETCH(QString, layout);
        QFETCH(QString, named);
        try {
            FormFrom(layout);
            QFAIL("the layout was accepted");
        } catch (const Exception &exception) {
            const QString message = QString::fromStdString(exception.Message());
            QVERIFY2(message.contains(named), qPrintable(message));
        }
    }

    void goodLayoutBindsEveryFieldToItsControl()
    {
        const auto form = FormFrom(Layout());
        QVERIFY(form->Picture);
        QVERIFY(form->Button);
        QVERIFY(form->Clock);
        QCOMPARE(form->Handle()->windowTitle(), "Test");
        QCOMPARE(form->Button->GetCaption(), "Go");
        QCOMPARE(form->Picture->Handle()->geometry(), QRect(8, 8, 100, 100));
        QCOMPARE(form->Clock->GetInterval(), 1);
        QCOMPARE(form->Clock->GetEnabled(), false);

        QTest::mouseClick(form->Button->Handle(), Qt::LeftButton);
        QCOMPARE(form->clicks, 1);
    }

    void controlListedLaterIsInFront_data()
    {
        QTest::addColumn<QStringList>("controls");
        QTest::addColumn<QString>("inFront");
        QTest::newRow("picture first") << QStringList{PictureEntry, ButtonEntry, ClockEntry}
                                       << "Button";
        QTest::newRow("button first") << QStringList{ButtonEntry, PictureEntry, ClockEntry}
                                      << "Picture";
    }

    void controlListedLaterIsInFront()
    {
        QFETCH(QStringList, controls);
        QFETCH(QString, inFront);
        const auto form = FormFrom(Layout(controls));
        const QWidget *front = form->ClientHandle()->childAt(60, 60); // where the two overlap
        const TControl *expected = inFront == "Button" ? static_cast<TControl *>(form->Button)
                                                       : form->Picture;
        QCOMPARE(front, expected->Handle());
    }

    void formThatCannotBeCreatedLeavesNoReference()
    {
        TTestForm *form = nullptr;
        try {
            Application->CreateForm(classid<TTestForm>, &form); // no layout is embedded here
            QFAIL("the form was created");
        } catch (const Exception &exception) {
            QVERIFY2(exception.Message().find("TTestForm") != std::string::npos, exception.what());
        }
        QCOMPARE(form, nullptr);
        QCOMPARE(Application->GetMainForm(), nullptr);
    }

    void closeActionDecidesWhetherTheWindowCloses_data()
    {
        QTest::addColumn<bool>("handlerSaysCaNone");
        QTest::newRow("action left as it is") << false;
        QTest::newRow("action set to caNone") << true;
    }

    void closeActionDecidesWhetherTheWindowCloses()
    {
        QFETCH(bool, handlerSaysCaNone);
        const auto form = FormFrom(Layout());
        if (handlerSaysCaNone)
            form->closeAction = caNone;
        form->Show();
        form->Close();
        QCOMPARE(form->Handle()->isVisible(), handlerSaysCaNone);
    }

    void exceptionFromAHandlerIsShownOnceAndTheProgramGoesOn_data()
    {
        QTest::addColumn<Throw>("raise");
        QTest::addColumn<QString>("message");
        QTest::newRow("Exception")
            << Throw([] { throw Exception("The camera is on fire"); }) << "The camera is on fire";
        QTest::newRow("std::exception")
            << Throw([] { throw std::length_error("vector too long"); }) << "vector too long";
        QTest::newRow("not an exception") << Throw([] { throw 42; }) << "";
    }

    void exceptionFromAHandlerIsShownOnceAndTheProgramGoesOn()
    {
        QFETCH(Throw, raise);
        QFETCH(QString, message);
        const auto form = FormFrom(Layout());
        form->onClick = [&] {
            if (form->clicks == 1)
                raise();
        };
        form->Show();
        ErrorBoxes boxes;

        QTest::mouseClick(form->Button->Handle(), Qt::LeftButton);
        QCOMPARE(boxes.messages, QStringList{message});

        QTest::mouseClick(form->Button->Handle(), Qt::LeftButton);
        QCOMPARE(form->clicks, 2);
        QCOMPARE(boxes.messages.size(), 1);
    }

    void tickThatComesWhileAnErrorBoxIsUpIsDropped()
    {
        const auto form = FormFrom(Layout());
        form->onClick = [] { throw Exception("pressed"); };
        form->Show();
        ErrorBoxes boxes;
        int ticksWhileShown = -1;
        boxes.whileShown = [&] {
            form->Clock->SetEnabled(true);
            QTest::qWait(50); // room for dozens of 1 ms ticks
            ticksWhileShown = form->ticks;
        };

        QTest::mouseClick(form->Button->Handle(), Qt::LeftButton);
        QCOMPARE(boxes.messages, QStringList{"pressed"});
        QCOMPARE(ticksWhileShown, 0);
        QTRY_VERIFY(form->ticks > 0); // ticking on once the box is gone
        form->Clock->SetEnabled(false);
    }

    void scrollBarsShowWhatReachesPastTheClientArea_data()
    {
        QTest::addColumn<QSize>("pictureSize");
        QTest::addColumn<bool>("horizontal");
        QTest::addColumn<bool>("vertical");
        QTest::newRow("fits") << QSize(300, 200) << false << false;
        QTest::newRow("wider") << QSize(1000, 100) << true << false;
        QTest::newRow("taller") << QSize(100, 1000) << false << true;
        QTest::newRow("both") << QSize(1000, 1000) << true << true;
    }

    void scrollBarsShowWhatReachesPastTheClientArea()
    {
        QFETCH(QSize, pictureSize);
        QFETCH(bool, horizontal);
        QFETCH(bool, vertical);
        const auto form = FormFrom(Layout());
        form->Show();
        QVERIFY(QTest::qWaitForWindowExposed(form->Handle()));
        const auto *scroll = form->Handle()->findChild<QScrollArea *>();
        QVERIFY(scroll);
        const QScrollBar *across = scroll->horizontalScrollBar();
        const QScrollBar *down = scroll->verticalScrollBar();
        QVERIFY(!across->isVisible() && !down->isVisible());

        form->Picture->SetWidth(pictureSize.width());
        form->Picture->SetHeight(pictureSize.height());
        QTRY_COMPARE(across->isVisible(), horizontal);
        QTRY_COMPARE(down->isVisible(), vertical);
        const QSize view = scroll->viewport()->size();
        QCOMPARE(across->maximum(), std::max(0, 8 + pictureSize.width() - view.width()));
        QCOMPARE(down->maximum(), std::max(0, 8 + pictureSize.height() - view.height()));
        QCOMPARE(form->Handle()->frameGeometry().size(), QSize(320, 240)); // the window stays

        form->Picture->SetWidth(100);
        form->Picture->SetHeight(100);
        QTRY_VERIFY(!across->isVisible() && !down->isVisible());
    }
};

int RunFormTests(int argc, char **argv)
{
    FormTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FormTest.moc"
