// The camera adapter on the simulated camera of tests/fakecam, preloaded into this test: the real
// OpenCV V4L2 back end reads a /dev/video2 whose frames, faults and log the test controls. The
// simulated camera reads its FAKECAM_* settings at each open, so each case sets its own before it
// opens the camera.

#include "camera/Capture.h"
#include "pattern.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int CameraSelector = 702; // the program's: back end 700, device 2
constexpr int FrameWidthProperty = 3;
constexpr int FrameHeightProperty = 4;

// Safety limits only: a query that waits for the camera would take a frame time or OpenCV's
// select timeout, seconds, where a look takes about a millisecond.
constexpr double QueryLimitMilliseconds = 100;
constexpr auto FrameLimit = 5s;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The camera's next frame, asked for as the program's frame timer does, or null if none comes
// within FrameLimit.
camera::Frame *NextFrame(camera::Capture *capture)
{
    const auto deadline = Clock::now() + FrameLimit;
    while (Clock::now() < deadline) {
        if (camera::Frame *frame = camera::QueryFrame(capture))
            return frame;
        std::this_thread::sleep_for(1ms);
    }
    return nullptr;
}

// Where the frame's record differs from the pattern of the frame number it carries, or empty.
QString PatternMismatch(const camera::Frame &frame, int tolerance)
{
    if (frame.depth != 8 || frame.nChannels != 3 || frame.widthStep < frame.width * 3)
        return QString("a record of depth %1, %2 channels, %3 bytes a row for %4 pixels")
            .arg(frame.depth)
            .arg(frame.nChannels)
            .arg(frame.widthStep)
            .arg(frame.width);
    const auto *bytes = reinterpret_cast<const unsigned char *>(frame.imageData);
    const unsigned number = fakecam_frame_number(bytes, frame.width);
    for (int y = 0; y < frame.height; ++y) {
        const unsigned char *row = bytes + static_cast<std::size_t>(y) * frame.widthStep;
        for (int x = 0; x < frame.width; ++x) {
            unsigned char want[3];
            fakecam_pattern_bgr(number, frame.width, frame.height, x, y, want);
            for (int c = 0; c < 3; ++c)
                if (std::abs(row[3 * x + c] - want[c]) > tolerance)
                    return QString("frame %1, pixel (%2,%3), sample %4: %5, want %6")
                        .arg(number)
                        .arg(x)
                        .arg(y)
                        .arg(c)
                        .arg(row[3 * x + c])
                        .arg(want[c]);
        }
    }
    return {};
}

unsigned FrameNumber(const camera::Frame &frame)
{
    return fakecam_frame_number(reinterpret_cast<const unsigned char *>(frame.imageData),
                                frame.width);
}

} // namespace

class CameraTest : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;
    camera::Capture *capture = nullptr;

    QString LogPath() const { return scratch.filePath("camera.log"); }

    QStringList CameraLog() const
    {
        QFile log(LogPath());
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(log.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    // Reads frames until the camera reports the unplug; returns the numbers of those that came.
    QList<unsigned> StreamUntilUnplugged()
    {
        QList<unsigned> numbers;
        const auto deadline = Clock::now() + FrameLimit;
        while (!CameraLog().contains("unplug") && Clock::now() < deadline) {
            if (camera::Frame *frame = camera::QueryFrame(capture))
                numbers.append(FrameNumber(*frame));
            std::this_thread::sleep_for(1ms);
        }
        return numbers;
    }

private slots:
    void init()
    {
        QVERIFY(scratch.isValid());
        for (const char *setting : {"FAKECAM_SIZE", "FAKECAM_FORMAT", "FAKECAM_ABSENT",
                                    "FAKECAM_UNPLUG_AFTER", "FAKECAM_REPLUG_FILE", "FAKECAM_STALL"})
            qunsetenv(setting);
        qputenv("FAKECAM_FPS", "100");
        qputenv("FAKECAM_LOG", QFile::encodeName(LogPath()));
        QFile::remove(LogPath());
    }

    void cleanup()
    {
        if (capture)
            camera::ReleaseCapture(&capture);
        // An unplugged camera stays away for the whole process until an open finds the replug
        // file: plug it back in for the cases that follow.
        if (CameraLog().contains("unplug")) {
            QFile replugged(scratch.filePath("replugged-after-the-case"));
            QVERIFY(replugged.open(QIODevice::WriteOnly));
            qunsetenv("FAKECAM_UNPLUG_AFTER");
            qputenv("FAKECAM_REPLUG_FILE", QFile::encodeName(replugged.fileName()));
            camera::Capture *again = camera::CreateCameraCapture(CameraSelector);
            QVERIFY(again);
            camera::ReleaseCapture(&again);
        }
    }

    void opensTheCameraAndReportsItsFrameSize_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("BGR24 640x480") << QByteArray("BGR24") << 640 << 480;
        QTest::newRow("BGR24 1280x720") << QByteArray("BGR24") << 1280 << 720;
        QTest::newRow("YUYV 320x240") << QByteArray("YUYV") << 320 << 240;
    }

    void opensTheCameraAndReportsItsFrameSize()
    {
        QFETCH(QByteArray, format);
        QFETCH(int, width);
        QFETCH(int, height);
        qputenv("FAKECAM_FORMAT", format);
        qputenv("FAKECAM_SIZE", QByteArray::number(width) + 'x' + QByteArray::number(height));

        capture = camera::CreateCameraCapture(CameraSelector);
        QVERIFY(capture);
        QCOMPARE(CameraLog().count("open"), 1);
        QCOMPARE(camera::GetCaptureProperty(capture, FrameWidthProperty), double(width));
        QCOMPARE(camera::GetCaptureProperty(capture, FrameHeightProperty), double(height));
    }

    void missingCameraGivesNoCapture_data()
    {
        QTest::addColumn<QByteArray>("absent");
        QTest::addColumn<int>("selector");
        QTest::newRow("device 2 absent") << QByteArray("1") << CameraSelector;
        QTest::newRow("device 0 asked for, only device 2 there") << QByteArray("0") << 700;
    }

    void missingCameraGivesNoCapture()
    {
        QFETCH(QByteArray, absent);
        QFETCH(int, selector);
        qputenv("FAKECAM_ABSENT", absent);

        capture = camera::CreateCameraCapture(selector);
        QCOMPARE(capture, nullptr);
        QCOMPARE(CameraLog(), QStringList());
    }

    void framesArriveAsRecordsOfThePattern_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("BGR24 640x480, as sent") << QByteArray("BGR24") << 640 << 480 << 0;
        QTest::newRow("BGR24 1280x720, as sent") << QByteArray("BGR24") << 1280 << 720 << 0;
        QTest::newRow("YUYV 640x480, converted") << QByteArray("YUYV") << 640 << 480
                                                 << FAKECAM_YUYV_TOLERANCE;
    }

    void framesArriveAsRecordsOfThePattern()
    {
        QFETCH(QByteArray, format);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, tolerance);
        qputenv("FAKECAM_FORMAT", format);
        qputenv("FAKECAM_SIZE", QByteArray::number(width) + 'x' + QByteArray::number(height));
        capture = camera::CreateCameraCapture(CameraSelector);
        QVERIFY(capture);

        unsigned previous = 0;
        for (int taken = 0; taken < 3; ++taken) {
            camera::Frame *frame = NextFrame(capture);
            QVERIFY2(frame, "no frame came");
            QCOMPARE(frame->width, width);
            QCOMPARE(frame->height, height);
            QCOMPARE(PatternMismatch(*frame, tolerance), QString());
            // The camera numbers the frames it sends: none is skipped, none comes twice.
            if (taken > 0)
                QCOMPARE(FrameNumber(*frame), previous + 1);
            previous = FrameNumber(*frame);
        }
    }

    void queryOnAStalledCameraComesBackAtOnce()
    {
        qputenv("FAKECAM_STALL", "1");
        capture = camera::CreateCameraCapture(CameraSelector);
        QVERIFY(capture);

        for (int query = 0; query < 50; ++query) {
            const auto start = Clock::now();
            QCOMPARE(camera::QueryFrame(capture), nullptr);
            QCOMPARE_LT(MillisecondsSince(start), QueryLimitMilliseconds);
        }
        QVERIFY2(CameraLog().contains("streamon"), "the queries never started the stream");
    }

    void unpluggedCameraGivesNoMoreFrames()
    {
        qputenv("FAKECAM_UNPLUG_AFTER", "5");
        capture = camera::CreateCameraCapture(CameraSelector);
        QVERIFY(capture);

        const QList<unsigned> numbers = StreamUntilUnplugged();
        QVERIFY2(CameraLog().contains("unplug"), "the camera was not unplugged");
        // Every frame sent before the unplug came, the last one included.
        QVERIFY(!numbers.isEmpty());
        QCOMPARE(numbers.last(), 4u);
        QCOMPARE(unsigned(numbers.size()), numbers.last() - numbers.first() + 1);
        try {
            for (int query = 0; query < 100; ++query) {
                const auto start = Clock::now();
                QCOMPARE(camera::QueryFrame(capture), nullptr);
                QCOMPARE_LT(MillisecondsSince(start), QueryLimitMilliseconds);
            }
        } catch (...) {
            QFAIL("a query threw after the unplug");
        }
    }

    void releaseClosesTheCameraAndNullsTheHandle_data()
    {
        QTest::addColumn<int>("unplugAfter");
        QTest::addColumn<bool>("streaming");
        QTest::newRow("opened, never asked for a frame") << -1 << false;
        QTest::newRow("streaming") << -1 << true;
        QTest::newRow("unplugged") << 2 << true;
    }

    void releaseClosesTheCameraAndNullsTheHandle()
    {
        QFETCH(int, unplugAfter);
        QFETCH(bool, streaming);
        qputenv("FAKECAM_UNPLUG_AFTER", QByteArray::number(unplugAfter));
        capture = camera::CreateCameraCapture(CameraSelector);
        QVERIFY(capture);
        if (unplugAfter >= 0)
            QVERIFY(!StreamUntilUnplugged().isEmpty());
        else if (streaming)
            QVERIFY(NextFrame(capture));

        camera::ReleaseCapture(&capture);
        QCOMPARE(capture, nullptr);
        const QStringList log = CameraLog();
        QCOMPARE(log.count("open"), 1);
        QCOMPARE(log.count("close"), 1);
        QCOMPARE(log.last(), QString("close"));
    }

    void replugLetsANewCaptureStream()
    {
        const QString replugged = scratch.filePath("replugged");
        qputenv("FAKECAM_UNPLUG_AFTER", "3");
        qputenv("FAKECAM_REPLUG_FILE", QFile::encodeName(replugged));
        capture = camera::CreateCameraCapture(CameraSelector);
        QVERIFY(capture);
        QVERIFY(!StreamUntilUnplugged().isEmpty());
        camera::ReleaseCapture(&capture);

        capture = camera::CreateCameraCapture(CameraSelector);
        QVERIFY2(!capture, "an unplugged camera opened");
        QVERIFY(QFile(replugged).open(QIODevice::WriteOnly));
        capture = camera::CreateCameraCapture(CameraSelector);
        QVERIFY2(capture, "the replugged camera did not open");
        camera::Frame *frame = NextFrame(capture);
        QVERIFY2(frame, "the replugged camera sent no frame");
        QCOMPARE(PatternMismatch(*frame, 0), QString());
    }
};

QTEST_APPLESS_MAIN(CameraTest)
#include "CameraTest.moc"
