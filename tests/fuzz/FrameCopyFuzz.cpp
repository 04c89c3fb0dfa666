// Random frame records through the window's frame copy, several per input and all into one
// bitmap, so that the bitmap changes size between copies as it does when a camera changes mode.
// Each frame's data is allocated at exactly widthStep x height bytes, so AddressSanitizer traps a
// read past its end; a copied frame must then show in the bitmap pixel for pixel, and a frame
// that is not shown must leave the bitmap's size alone.
#include "Unit1.h"

#include "camera/FrameRows.h"

#include <QApplication>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr int MaxSide = 512;
constexpr int MaxFramesPerInput = 8;

TForm1 *Window = nullptr;
TBitmap *Bitmap = nullptr;

struct FreeDeleter {
    void operator()(char *data) const { std::free(data); }
};

// A frame record with data of its own.
struct FuzzFrame {
    camera::Frame record{};
    std::unique_ptr<char, FreeDeleter> data;
};

// Bytes that do not repeat with any short period, so that a row read from a wrong offset shows.
std::uint8_t SourceByte(std::size_t offset)
{
    return static_cast<std::uint8_t>((offset * 2654435761u) >> 24);
}

FuzzFrame MakeFrame(FuzzedDataProvider &input)
{
    FuzzFrame frame;
    camera::Frame &record = frame.record;
    record.width = input.ConsumeIntegralInRange(-2, MaxSide);
    record.height = input.ConsumeIntegralInRange(-2, MaxSide);
    record.depth = input.PickValueInArray({8, 16, 32, 0, -8});
    record.nChannels = input.PickValueInArray({3, 1, 4, 0, 2, 5, -3});
    // Strides near the row's own length find the edges; the others cover padded and short rows.
    const int rowBytes = std::max(record.width, 0) * std::max(record.nChannels, 0);
    record.widthStep = input.ConsumeBool() ? rowBytes + input.ConsumeIntegralInRange(-8, 64)
                                           : input.ConsumeIntegralInRange(-8, 4096);
    const bool withoutData = input.ConsumeIntegralInRange(0, 7) == 0;
    if (withoutData || record.widthStep <= 0 || record.height <= 0)
        return frame;
    const std::size_t size = static_cast<std::size_t>(record.widthStep) * record.height;
    frame.data.reset(static_cast<char *>(std::malloc(size)));
    for (std::size_t offset = 0; offset < size; ++offset)
        frame.data.get()[offset] = static_cast<char>(SourceByte(offset));
    record.imageData = frame.data.get();
    return frame;
}

[[noreturn]] void Fail(const camera::Frame &frame, const char *what)
{
    std::fprintf(stderr, "frame %dx%d depth %d channels %d widthStep %d: %s\n", frame.width,
                 frame.height, frame.depth, frame.nChannels, frame.widthStep, what);
    std::abort();
}

void CheckCopied(const camera::Frame &frame)
{
    if (Bitmap->GetWidth() != frame.width || Bitmap->GetHeight() != frame.height)
        Fail(frame, "the bitmap does not take the frame's size");
    if (Bitmap->GetPixelFormat() != pf24bit)
        Fail(frame, "the bitmap is not 24-bit");
    if (frame.width == 0)
        return;
    for (int y = 0; y < frame.height; ++y) {
        const std::uint8_t *shown = Bitmap->GetScanline(y);
        const std::size_t rowStart = static_cast<std::size_t>(y) * frame.widthStep;
        for (int x = 0; x < frame.width; ++x) {
            const std::size_t pixel = rowStart + static_cast<std::size_t>(x) * frame.nChannels;
            for (int c = 0; c < 3; ++c) {
                const std::size_t sample = frame.nChannels == 1 ? pixel : pixel + c;
                if (shown[3 * x + c] != SourceByte(sample))
                    Fail(frame, "a pixel of the bitmap differs from the frame");
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "frame_copy_fuzz";
    static char *argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    // The copy reads no field of the window, so one without its layout serves.
    static TForm1 window(nullptr);
    static TPicture picture;
    Window = &window;
    Bitmap = picture.GetBitmap();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    for (int i = 0; i < MaxFramesPerInput && input.remaining_bytes() > 0; ++i) {
        if (input.ConsumeIntegralInRange(0, 7) == 0) {
            Window->CopyFrameToBitmap(nullptr, Bitmap); // no frame
            continue;
        }
        FuzzFrame frame = MakeFrame(input);
        const int widthBefore = Bitmap->GetWidth();
        const int heightBefore = Bitmap->GetHeight();
        Window->CopyFrameToBitmap(&frame.record, Bitmap);
        if (camera::HasDisplayableRows(frame.record))
            CheckCopied(frame.record);
        else if (Bitmap->GetWidth() != widthBefore || Bitmap->GetHeight() != heightBefore)
            Fail(frame.record, "a frame that is not shown changes the bitmap's size");
    }
    return 0;
}
