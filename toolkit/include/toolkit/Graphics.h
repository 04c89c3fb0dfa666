#pragma once

#include "toolkit/Component.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class QImage;

enum TPixelFormat {
    pf24bit, // 3 bytes a pixel, stored blue, green, red
};

// Length of one bitmap row in bytes: rows start on 4-byte boundaries.
int BytesPerScanline(int Width, TPixelFormat Format);

// Pixels in memory, row 0 at the top. Setting a size or format to the value it already has keeps
// the pixel memory where it is, so a bitmap refilled with frames of one size never reallocates.
class TBitmap : public TObject
{
public:
    TBitmap();
    ~TBitmap() override;

    int GetWidth() const;
    int GetHeight() const;
    TPixelFormat GetPixelFormat() const { return PixelFormat; }
    void SetWidth(int Width);
    void SetHeight(int Height);
    void SetPixelFormat(TPixelFormat Format);

    // First byte of a row; valid until the size or format changes. A row of a bitmap 0 pixels
    // wide has no bytes, and no address.
    std::uint8_t *GetScanline(int Row);

    // The pixels, for the toolkit's painting code.
    const QImage &Image() const { return *Pixels; }

private:
    void Resize(int Width, int Height);

    void Release();

    std::unique_ptr<std::uint8_t[]> Memory;
    std::size_t RowStride = 0;
    std::unique_ptr<QImage> Pixels; // a view of Memory
    int Width = 0;
    int Height = 0;
    TPixelFormat PixelFormat = pf24bit;
};

// What an image control shows. It holds at most one bitmap, made on first use.
class TPicture : public TObject
{
public:
    TPicture();
    ~TPicture() override;

    TBitmap *GetBitmap();
    // The bitmap if there is one yet, for painting, which must not create one.
    const TBitmap *CurrentBitmap() const { return Bitmap.get(); }

private:
    std::unique_ptr<TBitmap> Bitmap;
};
