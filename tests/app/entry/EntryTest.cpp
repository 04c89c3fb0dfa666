// The program's entry: whatever escapes start-up is shown in exactly one error box, and the
// process exit code is 0 in every case.

#include "../../support/ErrorBoxes.h"
#include "Unit1.h"

#include "toolkit/Application.h"

#include <QTest>

#include <functional>
#include <memory>
#include <stdexcept>

namespace {

// What the window's creation throws, for tables of cases.
using Throw = std::function<void()>;

class ELayoutError : public Exception
{
public:
    using Exception::Exception;
};

} // namespace

Q_DECLARE_METATYPE(Throw)

class EntryTest : public QObject
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
        TForm1::WhileCreating = nullptr;
        Application = nullptr;
        application.reset();
        Form1 = nullptr;
    }

    void failedStartShowsOneErrorBoxAndReturnsZero_data()
    {
        QTest::addColumn<Throw>("raise");
        QTest::addColumn<QString>("message");
        QTest::newRow("Exception") << Throw([] { throw Exception("No camera driver"); })
                                   << "No camera driver";
        QTest::newRow("class derived from Exception")
            << Throw([] { throw ELayoutError("Unknown handler 'Button2Click'"); })
            << "Unknown handler 'Button2Click'";
        // Anything else says nothing of itself: the box is empty, even for a standard exception.
        QTest::newRow("std::exception") << Throw([] { throw std::runtime_error("disk full"); })
                                        << "";
        QTest::newRow("int") << Throw([] { throw 42; }) << "";
        QTest::newRow("C string") << Throw([] { throw "text"; }) << "";
    }

    void failedStartShowsOneErrorBoxAndReturnsZero()
    {
        QFETCH(Throw, raise);
        QFETCH(QString, message);
        TForm1::WhileCreating = raise;
        ErrorBoxes boxes;

        QCOMPARE(ProgramEntry(), 0);
        QCOMPARE(boxes.messages, QStringList{message});
        QCOMPARE(Form1, nullptr);
    }

    void normalRunReturnsZeroOnceTheWindowCloses()
    {
        ErrorBoxes boxes;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [] {
            if (Form1 && Form1->Handle()->isVisible())
                Form1->Close();
        });
        closer.start(10);
        bool gaveUp = false; // safety net: the loop did not end with the window
        QTimer::singleShot(30000, [&gaveUp] {
            gaveUp = true;
            QCoreApplication::exit();
        });

        QCOMPARE(ProgramEntry(), 0);
        QVERIFY(!gaveUp);
        QVERIFY(boxes.messages.isEmpty());
        QVERIFY(Form1);
        QCOMPARE(Application->GetMainForm(), Form1);
    }
};

QTEST_MAIN(EntryTest)

#include "EntryTest.moc"
