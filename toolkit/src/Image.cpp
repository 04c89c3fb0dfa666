#include "toolkit/Image.h"

#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

#include <cstring>

namespace {

#if defined(__x86_64__) || defined(__i386__)
#define WITH_SIMD_CLONES __attribute__((target_clones("default", "ssse3")))
#else
#define WITH_SIMD_CLONES
#endif

// Blue, green, red bytes to opaque 32-bit pixels (0xffRRGGBB), four pixels a step.
WITH_SIMD_CLONES void BgrToRgb32(const uchar *bgr, quint32 *rgb, int pixels)
{
    using Bytes16 = uchar __attribute__((vector_size(16)));
    const Bytes16 opaque = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    int x = 0;
    // Each step reads 16 bytes for the 12 it uses, so it stops while 4 more stay in the row.
    for (; x + 6 <= pixels; x += 4, bgr += 12) {
        Bytes16 in;
        std::memcpy(&in, bgr, sizeof in);
        const Bytes16 out = __builtin_shufflevector(in, opaque, 0, 1, 2, 19, 3, 4, 5, 23, 6, 7, 8,
                                                    27, 9, 10, 11, 31);
        std::memcpy(rgb + x, &out, sizeof out);
    }
    for (; x < pixels; ++x, bgr += 3)
        rgb[x] = 0xff000000u | quint32(bgr[2]) << 16 | quint32(bgr[1]) << 8 | bgr[0];
}

bool HoldsOpaque32BitPixels(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}

// Qt draws a 24-bit image through a slow per-pixel conversion on every paint. Where the painter
// writes plainly into a 32-bit image (a window's backing store, or a grab), the bitmap's rows are
// converted straight into that image instead, the one pass the picture needs. Paints the part of
// `region` inside `shown`, the bitmap's visible part at the widget's top-left corner; returns
// false, having painted nothing, where the painter's target is not such an image.
bool ConvertIntoTarget(QPainter &painter, const QImage &bitmap, const QRect &shown,
                       const QRegion &region)
{
    QPaintEngine *engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || painter.hasClipping())
        return false;
    QPaintDevice *device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return false;
    auto *target = static_cast<QImage *>(device);
    const QTransform &toTarget = painter.deviceTransform();
    if (!HoldsOpaque32BitPixels(target->format()) || target->devicePixelRatio() != 1.0 ||
        toTarget.type() > QTransform::TxTranslate || toTarget.dx() != int(toTarget.dx()) ||
        toTarget.dy() != int(toTarget.dy()))
        return false;

    const QPoint offset(int(toTarget.dx()), int(toTarget.dy()));
    const QRect reachable = shown.translated(offset) & target->rect();
    uchar *const targetBits = target->bits();
    for (const QRect &part : region) {
        const QRect rows = part.translated(offset) & reachable;
        for (int y = rows.top(); y <= rows.bottom(); ++y)
            BgrToRgb32(bitmap.constScanLine(y - offset.y()) + (rows.left() - offset.x()) * 3,
                       reinterpret_cast<quint32 *>(targetBits + y * target->bytesPerLine()) +
                           rows.left(),
                       rows.width());
    }
    return true;
}

class ImageWidget : public QWidget
{
public:
    // Every pixel is painted here, so Qt need not paint the background first.
    ImageWidget() { setAttribute(Qt::WA_OpaquePaintEvent); }

    const TPicture *picture = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        const TBitmap *bitmap = picture->CurrentBitmap();
        // One bitmap pixel is one screen pixel, which on a scaled screen is a fraction of the
        // unit Qt lays widgets out in.
        const qreal ratio = devicePixelRatioF();
        const QSizeF bitmapSize = bitmap ? QSizeF(bitmap->Image().size()) / ratio : QSizeF();
        const QRect shown(QPoint(0, 0), bitmapSize.toSize().boundedTo(size()));
        // Right of the bitmap and below it, the background shows.
        const QBrush &background = palette().brush(backgroundRole());
        for (const QRect &uncovered :
             {QRect(shown.width(), 0, width() - shown.width(), height()),
              QRect(0, shown.height(), shown.width(), height() - shown.height())})
            if (!uncovered.isEmpty())
                painter.fillRect(uncovered, background);
        if (!shown.isEmpty() &&
            !ConvertIntoTarget(painter, bitmap->Image(), shown, event->region()))
            painter.drawImage(QRectF(QPointF(0, 0), bitmapSize), bitmap->Image());
    }
};

} // namespace

TImage::TImage(TComponent *Owner)
    : TControl(Owner, std::make_unique<ImageWidget>()), Picture(std::make_unique<TPicture>())
{
    static_cast<ImageWidget *>(Handle())->picture = Picture.get();
}

TImage::~TImage() = default;
