// Steady ticks - frames of one size and format, one after another - allocate nothing on the
// heap in the program's own path: the frame query, the bitmap lookup and the copy. The window
// stays hidden, so Refresh returns at once and what Qt allocates inside its painting is left
// out.

#include "ViewerWindow.h"
#include "HeapCounter.h"
#include "Unit1.h"

#include "toolkit/Application.h"

#include <QTest>

#include <cstdlib>
#include <memory>
#include <vector>

class AllocationTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ViewerWindow> window;
    FakeCamera &camera = FakeCamera::Instance();

private slots:
    void init()
    {
        window = std::make_unique<ViewerWindow>();
    }

    void cleanup() { window.reset(); }

    // A count of nothing proves nothing unless the counter sees each way of allocating.
    void theCounterSeesEveryWayOfAllocating()
    {
        void *volatile block = nullptr;
        heap::StartCounting();
        block = new char[16];
        delete[] static_cast<char *>(block);
        block = std::malloc(16);
        block = std::realloc(block, 4096);
        std::free(block);
        block = std::calloc(4, 4);
        std::free(block);
        block = std::aligned_alloc(64, 64);
        std::free(block);
        void *aligned = nullptr;
        QCOMPARE(posix_memalign(&aligned, 64, 64), 0);
        std::free(aligned);
        QCOMPARE(heap::StopCounting(), 6L);
    }

    void steadyTicksAllocateNothing_data()
    {
        QTest::addColumn<int>("channels");
        QTest::newRow("blue, green, red") << 3;
        QTest::newRow("grey") << 1;
        QTest::newRow("blue, green, red, alpha") << 4;
    }

    void steadyTicksAllocateNothing()
    {
        QFETCH(int, channels);
        std::vector<char> samples(640 * 480 * channels, 0x40);
        camera::Frame frame{640, 480, 8, channels, 640 * channels, samples.data()};
        camera.steadyFrame = &frame;
        Form1->Button1Click(Form1->Button1);
        Form1->Timer->SetEnabled(false); // the ticks come from the test alone
        Form1->TimerTimer(Form1->Timer); // the first one makes the bitmap

        heap::StartCounting();
        for (int tick = 0; tick < 100; ++tick)
            Form1->TimerTimer(Form1->Timer);
        const long allocations = heap::StopCounting();
        QCOMPARE(camera.queried, 101);
        QCOMPARE(Form1->Image->GetPicture()->GetBitmap()->GetScanline(479)[3 * 639], 0x40);
        QCOMPARE(allocations, 0L);
    }
};

QTEST_MAIN(AllocationTest)
#include "AllocationTest.moc"
