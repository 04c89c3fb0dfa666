#include "toolkit/Graphics.h"

#include "toolkit/Exception.h"

#include <QImage>

#include <algorithm>
#include <limits>
#include <string>

// A build with TOOLKIT_GUARDED_BITMAP_ROWS, under AddressSanitizer (the fuzzer's), follows every
// row with a poisoned gap, so that a write past the end of a row traps at once instead of landing
// in the next row. Everywhere else rows follow each other directly.
#ifdef TOOLKIT_GUARDED_BITMAP_ROWS
#include <sanitizer/asan_interface.h>
#define BITMAP_ROW_GUARDS 1
#endif

namespace {

#ifdef BITMAP_ROW_GUARDS
constexpr std::size_t RowGuardBytes = 64;
#else
constexpr std::size_t RowGuardBytes = 0;
#endif

void GuardRows(std::uint8_t *memory, std::size_t rowBytes, std::size_t stride, int rows, bool on)
{
#ifdef BITMAP_ROW_GUARDS
    for (int row = 0; row < rows; ++row) {
        std::uint8_t *gap = memory + row * stride + rowBytes;
        if (on)
            ASAN_POISON_MEMORY_REGION(gap, stride - rowBytes);
        else
            ASAN_UNPOISON_MEMORY_REGION(gap, stride - rowBytes);
    }
#else
    (void)memory, (void)rowBytes, (void)stride, (void)rows, (void)on;
#endif
}

} // namespace

int BytesPerScanline(int Width, TPixelFormat)
{
    const long long bytes = (std::max(Width, 0) * 3LL + 3) / 4 * 4;
    if (bytes > std::numeric_limits<int>::max())
        throw Exception("A bitmap row of " + std::to_string(Width) + " pixels is too long");
    return static_cast<int>(bytes);
}

TBitmap::TBitmap() : Pixels(std::make_unique<QImage>()) {}

TBitmap::~TBitmap() { Release(); }

void TBitmap::Release()
{
    *Pixels = QImage();
    if (Memory)
        GuardRows(Memory.get(), BytesPerScanline(Width, PixelFormat), RowStride, Height, false);
    Memory.reset();
}

int TBitmap::GetWidth() const { return Width; }
int TBitmap::GetHeight() const { return Height; }

void TBitmap::SetWidth(int Value) { Resize(std::max(Value, 0), Height); }
void TBitmap::SetHeight(int Value) { Resize(Width, std::max(Value, 0)); }
void TBitmap::SetPixelFormat(TPixelFormat Format) { PixelFormat = Format; }

void TBitmap::Resize(int NewWidth, int NewHeight)
{
    if (NewWidth == Width && NewHeight == Height)
        return;
    Release();
    Width = NewWidth;
    Height = NewHeight;
    if (Width == 0 || Height == 0)
        return;
    const std::size_t rowBytes = BytesPerScanline(Width, PixelFormat);
    const std::size_t stride = rowBytes + RowGuardBytes;
    // Qt addresses image rows with int, as far as 2 GiB.
    if (stride > std::numeric_limits<int>::max() / std::size_t(Height))
        throw Exception("A bitmap of " + std::to_string(Width) + " x " + std::to_string(Height) +
                        " pixels is too large");
    Memory = std::make_unique<std::uint8_t[]>(stride * Height); // zeroed
    RowStride = stride;
    GuardRows(Memory.get(), rowBytes, stride, Height, true);
    // Qt's BGR888 keeps blue, green, red in memory order, as this bitmap does.
    *Pixels = QImage(Memory.get(), Width, Height, static_cast<qsizetype>(stride),
                     QImage::Format_BGR888);
}

std::uint8_t *TBitmap::GetScanline(int Row)
{
    if (Row < 0 || Row >= Height)
        throw Exception("Scan line " + std::to_string(Row) + " is outside a bitmap of " +
                        std::to_string(Height) + " rows");
    return Width == 0 ? nullptr : Memory.get() + Row * RowStride;
}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

TBitmap *TPicture::GetBitmap()
{
    if (!Bitmap)
        Bitmap = std::make_unique<TBitmap>();
    return Bitmap.get();
}
