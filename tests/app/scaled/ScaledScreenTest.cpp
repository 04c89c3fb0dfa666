// On a screen with a device pixel ratio of 2, the layout, drawn for 96 pixels per inch, takes
// twice the screen pixels, while the camera picture stays one camera pixel to one screen pixel,
// the picture area sized in those same pixels.

#include "ViewerWindow.h"

#include <QTest>
#include <QWidget>

#include <vector>

class ScaledScreenTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(QWidget().devicePixelRatioF(), 2.0); }

    void theLayoutScalesWithTheScreen()
    {
        const ViewerWindow window;
        QCOMPARE(Form1->Image->GetLeft(), 16);
        QCOMPARE(Form1->Image->GetTop(), 16);
        QCOMPARE(Form1->Image->GetWidth(), 1202);
        QCOMPARE(Form1->Image->GetHeight(), 786);
        QCOMPARE(Form1->Button1->GetLeft(), 96);
        QCOMPARE(Form1->Button1->GetWidth(), 210);
        // In Qt's device-independent pixels the window keeps its design size.
        QCOMPARE(Form1->Handle()->size(), QSize(627, 485));
        QCOMPARE(Form1->Image->Handle()->geometry(), QRect(8, 8, 601, 393));
    }

    void theCameraPictureIsDrawnOnePixelToOnePixel()
    {
        const ViewerWindow window;
        FakeCamera &camera = FakeCamera::Instance();
        camera.reportedWidth = 64;
        camera.reportedHeight = 48;
        std::vector<char> pixels(64 * 48 * 3);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<char>(i * 7 % 251);
        camera::Frame frame{64, 48, 8, 3, 64 * 3, pixels.data()};
        camera.steadyFrame = &frame;

        Form1->Show();
        Form1->Button1Click(nullptr);
        QCOMPARE(Form1->Image->GetWidth(), 64);
        QCOMPARE(Form1->Image->GetHeight(), 48);
        QCOMPARE(Form1->Image->Handle()->size(), QSize(32, 24));
        Form1->TimerTimer(nullptr);

        const QImage shown = Form1->Image->Handle()->grab().toImage();
        QCOMPARE(shown.size(), QSize(64, 48));
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                const auto *bgr = reinterpret_cast<const unsigned char *>(
                    pixels.data() + (y * 64 + x) * 3);
                if (shown.pixel(x, y) != qRgb(bgr[2], bgr[1], bgr[0]))
                    QFAIL(qPrintable(QString("pixel %1,%2 differs").arg(x).arg(y)));
            }
    }
};

QTEST_MAIN(ScaledScreenTest)
#include "ScaledScreenTest.moc"
