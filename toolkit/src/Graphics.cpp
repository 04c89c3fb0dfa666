#include "toolkit/Graphics.h"

#include "toolkit/Exception.h"

#include <QImage>

#include <algorithm>
#include <string>

int BytesPerScanline(int Width, TPixelFormat)
{
    return (std::max(Width, 0) * 3 + 3) / 4 * 4;
}

TBitmap::TBitmap() : Pixels(std::make_unique<QImage>()) {}

TBitmap::~TBitmap() = default;

int TBitmap::GetWidth() const { return Width; }
int TBitmap::GetHeight() const { return Height; }

void TBitmap::SetWidth(int Value) { Resize(std::max(Value, 0), Height); }
void TBitmap::SetHeight(int Value) { Resize(Width, std::max(Value, 0)); }
void TBitmap::SetPixelFormat(TPixelFormat Format) { PixelFormat = Format; }

void TBitmap::Resize(int NewWidth, int NewHeight)
{
    if (NewWidth == Width && NewHeight == Height)
        return;
    Width = NewWidth;
    Height = NewHeight;
    if (Width == 0 || Height == 0) {
        *Pixels = QImage();
        return;
    }
    // Qt's BGR888 keeps blue, green, red in memory order and starts rows on 4-byte boundaries,
    // which is exactly this bitmap's layout.
    QImage image(Width, Height, QImage::Format_BGR888);
    if (image.isNull())
        throw Exception("Not enough memory for a bitmap of " + std::to_string(Width) + " x " +
                        std::to_string(Height) + " pixels");
    image.fill(0);
    *Pixels = std::move(image);
}

std::uint8_t *TBitmap::GetScanline(int Row)
{
    if (Row < 0 || Row >= Height)
        throw Exception("Scan line " + std::to_string(Row) + " is outside a bitmap of " +
                        std::to_string(Height) + " rows");
    return Width == 0 ? nullptr : Pixels->scanLine(Row);
}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

TBitmap *TPicture::GetBitmap()
{
    if (!Bitmap)
        Bitmap = std::make_unique<TBitmap>();
    return Bitmap.get();
}
