// The viewer's window as the program creates it from its real layout, with the fake camera
// behind it: the start button opens the camera and sizes the picture area, closing releases it.

#include "ViewerWindow.h"
#include "Unit1.h"

#include "toolkit/Application.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <cmath>
#include <limits>
#include <memory>

class StartStopTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ViewerWindow> window;
    FakeCamera &camera = FakeCamera::Instance();

    static void Press() { QTest::mouseClick(Form1->Button1->Handle(), Qt::LeftButton); }

    static QRect Area(const TControl *control)
    {
        return {control->GetLeft(), control->GetTop(), control->GetWidth(), control->GetHeight()};
    }

private slots:
    void init()
    {
        window = std::make_unique<ViewerWindow>();
        Form1->Show();
    }

    void cleanup() { window.reset(); }

    void realLayoutBuildsTheWindowAndBindsEveryName()
    {
        QVERIFY(Form1->Timer);
        QVERIFY(Form1->Image);
        QVERIFY(Form1->Button1);
        QCOMPARE(Form1->Capture, nullptr);
        QCOMPARE(Form1->Frame, nullptr);

        QCOMPARE(Form1->Handle()->windowTitle(), "Form1");
        QCOMPARE(Form1->Handle()->frameGeometry().size(), QSize(627, 485));
        QCOMPARE(Form1->Handle()->font().pixelSize(), 11);
        QCOMPARE(Area(Form1->Image), QRect(8, 8, 601, 393));
        QCOMPARE(Area(Form1->Button1), QRect(48, 408, 105, 33));
        QCOMPARE(Form1->Button1->GetCaption(), std::string("開啟攝影機"));
        QCOMPARE(Form1->Timer->GetInterval(), 10);
        QCOMPARE(Form1->Timer->GetEnabled(), false);
        QCOMPARE(Form1->GetDoubleBuffered(), false);

        // The click reaches Button1Click, the ticks TimerTimer, the close FormClose.
        Press();
        QVERIFY(Form1->Capture);
        QTRY_VERIFY(camera.queried > 0);
        Form1->Close();
        QCOMPARE(Form1->Capture, nullptr);
    }

    void failedOpenLeavesTheWindowIdleUntilAPressSucceeds()
    {
        camera.opens = false;
        Press();
        QCOMPARE(camera.openedSelector, 702);
        QCOMPARE(Form1->Capture, nullptr);
        QCOMPARE(Form1->Timer->GetEnabled(), false);
        QCOMPARE(Area(Form1->Image), QRect(8, 8, 601, 393));
        QCOMPARE(Form1->GetDoubleBuffered(), true);

        camera.opens = true;
        Press();
        QCOMPARE(camera.openedSelector, 702);
        QVERIFY(Form1->Capture);
        QCOMPARE(Form1->Timer->GetEnabled(), true);
        QCOMPARE(Area(Form1->Image), QRect(8, 8, 640, 480));
    }

    void pictureAreaTakesTheReportedFrameSize_data()
    {
        QTest::addColumn<double>("reportedWidth");
        QTest::addColumn<double>("reportedHeight");
        QTest::addColumn<QSize>("size");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double infinity = std::numeric_limits<double>::infinity();
        QTest::newRow("640 x 480") << 640.0 << 480.0 << QSize(640, 480);
        QTest::newRow("fractions truncated") << 639.9 << 479.99 << QSize(639, 479);
        QTest::newRow("0 x 0") << 0.0 << 0.0 << QSize(0, 0);
        QTest::newRow("below one") << 0.99 << -0.99 << QSize(0, 0);
        // Nonsense a broken driver might report: no crash, and nothing the screen cannot hold.
        QTest::newRow("negative") << -640.0 << -1e12 << QSize(0, 0);
        QTest::newRow("not a number") << nan << -nan << QSize(0, 0);
        QTest::newRow("huge") << 1e12 << infinity << QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }

    void pictureAreaTakesTheReportedFrameSize()
    {
        QFETCH(double, reportedWidth);
        QFETCH(double, reportedHeight);
        QFETCH(QSize, size);
        camera.reportedWidth = reportedWidth;
        camera.reportedHeight = reportedHeight;
        Press();
        QVERIFY(Form1->Capture);
        QCOMPARE(Area(Form1->Image), QRect(QPoint(8, 8), size));
        QCOMPARE(Form1->Timer->GetEnabled(), true);
    }

    void largePictureAreaReachesPastTheWindowBehindTheButton()
    {
        Press(); // 640 x 480 from 8, 8 reaches past the client area, over the button's row
        const auto *scroll = Form1->Handle()->findChild<QScrollArea *>();
        QVERIFY(scroll);
        QTRY_VERIFY(scroll->horizontalScrollBar()->isVisible());
        QTRY_VERIFY(scroll->verticalScrollBar()->isVisible());
        QCOMPARE(Form1->Handle()->frameGeometry().size(), QSize(627, 485));
        const QRect button = Area(Form1->Button1);
        QCOMPARE(button, QRect(48, 408, 105, 33));
        QCOMPARE(Form1->ClientHandle()->childAt(button.center()), Form1->Button1->Handle());
    }

    void closeReleasesAnOpenCameraOnceWithTheTimerAlreadyOff_data()
    {
        QTest::addColumn<QList<bool>>("pressesThatOpen");
        QTest::addColumn<int>("releases");
        QTest::newRow("never pressed") << QList<bool>{} << 0;
        QTest::newRow("after a failed start") << QList<bool>{false} << 0;
        QTest::newRow("running") << QList<bool>{true} << 1;
        QTest::newRow("running after a second start") << QList<bool>{true, true} << 1;
        QTest::newRow("after a second start that failed") << QList<bool>{true, false} << 0;
    }

    void closeReleasesAnOpenCameraOnceWithTheTimerAlreadyOff()
    {
        QFETCH(QList<bool>, pressesThatOpen);
        QFETCH(int, releases);
        for (const bool opens : pressesThatOpen) {
            camera.opens = opens;
            Press();
        }
        const int releasedBefore = camera.released;
        bool timerOnAtRelease = false;
        camera.onRelease = [&] {
            timerOnAtRelease = timerOnAtRelease || Form1->Timer->GetEnabled();
        };

        Form1->Close();
        QCOMPARE(camera.released - releasedBefore, releases);
        QCOMPARE(timerOnAtRelease, false);
        QCOMPARE(Form1->Capture, nullptr);
        QCOMPARE(Form1->Timer->GetEnabled(), false);
        QCOMPARE(camera.opened, camera.released);
        QVERIFY(!Form1->Handle()->isVisible());
    }

    void secondPressReleasesTheOpenCameraFirst_data()
    {
        QTest::addColumn<bool>("secondOpens");
        QTest::newRow("camera opens again") << true;
        QTest::newRow("camera has gone") << false;
    }

    void secondPressReleasesTheOpenCameraFirst()
    {
        QFETCH(bool, secondOpens);
        Press();
        const camera::Capture *first = Form1->Capture;
        QVERIFY(first);
        QList<const camera::Capture *> released;
        bool timerOnAtRelease = false;
        camera.onRelease = [&] {
            released << Form1->Capture;
            timerOnAtRelease = timerOnAtRelease || Form1->Timer->GetEnabled();
        };

        camera.opens = secondOpens;
        Press();
        QCOMPARE(released.size(), 1);
        QCOMPARE(released.front(), first);
        QCOMPARE(timerOnAtRelease, false);
        QCOMPARE(camera.opened - camera.released, secondOpens ? 1 : 0); // no capture lost
        QCOMPARE(Form1->Capture != nullptr, secondOpens);
        QCOMPARE(Form1->Timer->GetEnabled(), secondOpens);
    }
};

int RunStartStopTests(int argc, char **argv)
{
    StartStopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StartStopTest.moc"
