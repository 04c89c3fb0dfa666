// The frame timer's tick, driven by hand with frames from the fake camera: what reaches the
// picture area's bitmap, and what reaches the screen.

#include "ViewerWindow.h"
#include "Unit1.h"

#include "toolkit/Application.h"

#include <QScreen>
#include <QTest>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// A camera frame over a buffer of the test's own. Every sample's value comes from where it is, so
// a byte out of place shows; the bytes past a row's samples hold Padding.
class TestFrame
{
public:
    static constexpr std::uint8_t Padding = 0xa5;

    // A widthStep of 0 packs the rows.
    TestFrame(int width, int height, int channels, int widthStep = 0, int depth = 8)
    {
        const int rowSampleBytes = width * channels * depth / 8;
        if (widthStep == 0)
            widthStep = rowSampleBytes;
        bytes.assign(static_cast<std::size_t>(std::max(widthStep, rowSampleBytes)) * height,
                     static_cast<char>(Padding));
        for (int y = 0; y < height; ++y)
            for (int i = 0; i < rowSampleBytes; ++i)
                bytes[static_cast<std::size_t>(y) * widthStep + i] =
                    static_cast<char>(Sample(i, y));
        frame = {width, height, depth, channels, widthStep, height > 0 ? bytes.data() : nullptr};
    }

    camera::Frame *Record() { return &frame; }
    const camera::Frame &Fields() const { return frame; }

    const std::uint8_t *Row(int y) const
    {
        return reinterpret_cast<const std::uint8_t *>(bytes.data()) +
               static_cast<std::size_t>(y) * frame.widthStep;
    }

    // How the pixel looks on the screen: grey as grey, alpha dropped.
    QRgb Colour(int x, int y) const
    {
        const std::uint8_t *pixel = Row(y) + x * frame.nChannels;
        return frame.nChannels == 1 ? qRgb(pixel[0], pixel[0], pixel[0])
                                    : qRgb(pixel[2], pixel[1], pixel[0]);
    }

private:
    static std::uint8_t Sample(int i, int y)
    {
        return static_cast<std::uint8_t>((i * 2654435761u ^ y * 40503u) >> 11);
    }

    std::vector<char> bytes;
    camera::Frame frame;
};

// The first row of the bitmap whose bytes differ from the frame's, or -1: as many bytes as the
// frame's row holds, but never more than the bitmap's row.
int FirstRowThatDiffers(TBitmap *bitmap, const TestFrame &frame)
{
    const int rowBytes =
        std::min(frame.Fields().widthStep, BytesPerScanline(bitmap->GetWidth(), pf24bit));
    for (int y = 0; y < frame.Fields().height; ++y)
        if (std::memcmp(bitmap->GetScanline(y), frame.Row(y), rowBytes) != 0)
            return y;
    return -1;
}

// The first pixel of a picture of the picture area that is neither the frame's, where the frame
// reaches, nor the background: "x,y", or empty.
QString FirstWrongPixel(const QImage &shown, const TestFrame &frame, QRgb background)
{
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const bool onFrame = x < frame.Fields().width && y < frame.Fields().height;
            if (shown.pixel(x, y) != (onFrame ? frame.Colour(x, y) : background))
                return QString("%1,%2").arg(x).arg(y);
        }
    return {};
}

// Counts the paint events a widget receives.
class PaintCount : public QObject
{
public:
    explicit PaintCount(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

class FramePumpTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ViewerWindow> window;
    FakeCamera &camera = FakeCamera::Instance();

    // Opens the camera reporting the given size; the ticks come from the test alone.
    void Start(int reportedWidth = 640, int reportedHeight = 480)
    {
        camera.reportedWidth = reportedWidth;
        camera.reportedHeight = reportedHeight;
        Form1->Button1Click(Form1->Button1);
        QVERIFY(Form1->Capture);
        Form1->Timer->SetEnabled(false);
    }

    static void Tick() { Form1->TimerTimer(Form1->Timer); }
    static TBitmap *Bitmap() { return Form1->Image->GetPicture()->GetBitmap(); }
    static QRgb Background() { return Form1->Handle()->palette().color(QPalette::Window).rgb(); }

    // The pixel at x, y of the picture area as the screen shows it now, without a new paint.
    static QRgb OnScreen(int x, int y)
    {
        const QPoint place = Form1->Image->Handle()->mapTo(Form1->Handle(), QPoint(x, y));
        const QImage shown = Form1->Handle()
                                 ->screen()
                                 ->grabWindow(Form1->Handle()->winId(), place.x(), place.y(), 1, 1)
                                 .toImage();
        return shown.pixel(0, 0);
    }

private slots:
    void init()
    {
        window = std::make_unique<ViewerWindow>();
        Form1->Show();
        QVERIFY(QTest::qWaitForWindowExposed(Form1->Handle()));
    }

    void cleanup() { window.reset(); }

    void framesAreCopiedRowForRow_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("widthStep");
        QTest::newRow("640 x 480") << 640 << 480 << 640 * 3;
        QTest::newRow("641 wide, a byte of padding a row") << 641 << 7 << 641 * 3 + 1;
        QTest::newRow("rows longer than the bitmap's") << 641 << 7 << 2100;
        QTest::newRow("packed rows longer than the bitmap's") << 640 << 5 << 2048;
    }

    void framesAreCopiedRowForRow()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, widthStep);
        TestFrame frame(width, height, 3, widthStep);
        camera.frames = {frame.Record()};
        Start(width, height);
        QCOMPARE(Form1->Image->GetPicture()->CurrentBitmap(), nullptr);

        Tick();
        QCOMPARE(Form1->Frame, frame.Record());
        QVERIFY(Form1->Image->GetPicture()->CurrentBitmap());
        TBitmap *bitmap = Bitmap();
        QCOMPARE(bitmap->GetWidth(), width);
        QCOMPARE(bitmap->GetHeight(), height);
        QCOMPARE(bitmap->GetPixelFormat(), pf24bit);
        QCOMPARE(FirstRowThatDiffers(bitmap, frame), -1);
        // Every pixel in its place, none shifted into the next row.
        const QImage shown = Form1->Image->Handle()->grab().toImage();
        QCOMPARE(FirstWrongPixel(shown, frame, Background()), QString());
    }

    void theTickPutsTheFrameOnTheScreenBeforeItReturns()
    {
        TestFrame first(640, 480, 3);
        TestFrame second(640, 480, 4);
        camera.frames = {first.Record(), second.Record()};
        Start();
        PaintCount count(Form1->Image->Handle());

        for (const TestFrame *frame : {&first, &second}) {
            const int paintsBefore = count.paints;
            Tick();
            QCOMPARE(count.paints, paintsBefore + 1);
            for (const QPoint at : {QPoint(0, 0), QPoint(317, 211), QPoint(590, 450)})
                QCOMPARE(OnScreen(at.x(), at.y()), frame->Colour(at.x(), at.y()));
        }
    }

    void aFrameOfAnotherSizeIsShownUnscaledAndCutOffByThePictureArea_data()
    {
        QTest::addColumn<QSize>("reported");
        QTest::addColumn<QSize>("frameSize");
        QTest::newRow("frame wider, area taller") << QSize(320, 240) << QSize(400, 200);
        QTest::newRow("frame smaller") << QSize(320, 240) << QSize(101, 50);
        QTest::newRow("frame larger") << QSize(320, 240) << QSize(500, 300);
    }

    void aFrameOfAnotherSizeIsShownUnscaledAndCutOffByThePictureArea()
    {
        QFETCH(QSize, reported);
        QFETCH(QSize, frameSize);
        TestFrame frame(frameSize.width(), frameSize.height(), 3,
                        BytesPerScanline(frameSize.width(), pf24bit));
        camera.frames = {frame.Record()};
        Start(reported.width(), reported.height());

        Tick();
        QCOMPARE(Bitmap()->GetWidth(), frameSize.width());
        QCOMPARE(Bitmap()->GetHeight(), frameSize.height());
        QCOMPARE(Form1->Image->GetWidth(), reported.width());
        QCOMPARE(Form1->Image->GetHeight(), reported.height());
        const QImage shown = Form1->Image->Handle()->grab().toImage();
        QCOMPARE(shown.size(), reported);
        QCOMPARE(FirstWrongPixel(shown, frame, Background()), QString());
    }

    void framesThatChangeSizeMidStreamAreEachShownWhole()
    {
        std::vector<std::unique_ptr<TestFrame>> frames;
        for (const QSize size :
             {QSize(640, 480), QSize(320, 240), QSize(641, 3), QSize(800, 600), QSize(2, 1)})
            frames.push_back(std::make_unique<TestFrame>(size.width(), size.height(), 3,
                                                         BytesPerScanline(size.width(), pf24bit)));
        for (const auto &frame : frames)
            camera.frames.push_back(frame->Record());
        Start();

        for (const auto &frame : frames) {
            Tick();
            QCOMPARE(Bitmap()->GetWidth(), frame->Fields().width);
            QCOMPARE(Bitmap()->GetHeight(), frame->Fields().height);
            QCOMPARE(FirstRowThatDiffers(Bitmap(), *frame), -1);
            const QImage shown = Form1->Image->Handle()->grab().toImage();
            QCOMPARE(FirstWrongPixel(shown, *frame, Background()), QString());
        }
    }

    void aFrameWithoutRowsLeavesAnEmptyBitmap()
    {
        TestFrame picture(640, 480, 3);
        TestFrame noRows(640, 0, 3);
        camera.frames = {picture.Record(), noRows.Record()};
        Start();
        Tick();
        Tick();
        QCOMPARE(Bitmap()->GetWidth(), 640);
        QCOMPARE(Bitmap()->GetHeight(), 0);
        QCOMPARE(OnScreen(0, 0), Background());
    }

    void greyAndFourChannelFramesShowTheirColours_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("widthStep");
        QTest::newRow("grey") << 1 << 0;
        QTest::newRow("grey, rows padded") << 1 << 40;
        QTest::newRow("blue, green, red, alpha") << 4 << 0;
        QTest::newRow("blue, green, red, alpha, rows padded") << 4 << 200;
    }

    void greyAndFourChannelFramesShowTheirColours()
    {
        QFETCH(int, channels);
        QFETCH(int, widthStep);
        TestFrame frame(37, 9, channels, widthStep);
        camera.frames = {frame.Record()};
        Start();

        Tick();
        QCOMPARE(Bitmap()->GetWidth(), 37);
        QCOMPARE(Bitmap()->GetHeight(), 9);
        const QImage shown = Form1->Image->Handle()->grab().toImage().copy(0, 0, 37, 9);
        QCOMPARE(FirstWrongPixel(shown, frame, Background()), QString());
    }

    void framesItCannotShowLeaveTheBitmapUntouched_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("widthStep");
        QTest::newRow("16-bit samples") << 16 << 3 << 0;
        QTest::newRow("32-bit samples") << 32 << 1 << 0;
        QTest::newRow("two channels") << 8 << 2 << 0;
        QTest::newRow("rows shorter than their pixels") << 8 << 3 << 60;
    }

    void framesItCannotShowLeaveTheBitmapUntouched()
    {
        QFETCH(int, depth);
        QFETCH(int, channels);
        QFETCH(int, widthStep);
        TestFrame shown(640, 480, 3);
        TestFrame other(320, 240, channels, widthStep, depth);
        camera.frames = {shown.Record(), other.Record()};
        Start();
        Tick();
        const std::uint8_t *memory = Bitmap()->GetScanline(0);

        Tick();
        QCOMPARE(Form1->Frame, other.Record());
        QCOMPARE(Bitmap()->GetWidth(), 640);
        QCOMPARE(Bitmap()->GetHeight(), 480);
        QCOMPARE(Bitmap()->GetScanline(0), memory);
        QCOMPARE(FirstRowThatDiffers(Bitmap(), shown), -1);
    }

    void aTickWithoutAFrameTouchesNothing()
    {
        TestFrame picture(640, 480, 3);
        camera.frames = {nullptr, picture.Record(), nullptr};
        Start();
        PaintCount count(Form1->Image->Handle());

        Tick(); // before any frame: no bitmap is made
        QCOMPARE(Form1->Frame, nullptr);
        QCOMPARE(Form1->Image->GetPicture()->CurrentBitmap(), nullptr);
        QCOMPARE(count.paints, 0);

        Tick();
        const std::uint8_t *memory = Bitmap()->GetScanline(0);
        const int paintsWithPicture = count.paints;
        Tick(); // the last picture stays
        QCOMPARE(Form1->Frame, nullptr);
        QCOMPARE(count.paints, paintsWithPicture);
        QCOMPARE(Bitmap()->GetScanline(0), memory);
        QCOMPARE(FirstRowThatDiffers(Bitmap(), picture), -1);
        QCOMPARE(OnScreen(5, 5), picture.Colour(5, 5));
        QCOMPARE(camera.queried, 3);
    }
};

int RunFramePumpTests(int argc, char **argv)
{
    FramePumpTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FramePumpTest.moc"
