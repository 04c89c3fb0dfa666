#include "toolkit/Image.h"

#include <QPainter>
#include <QWidget>

namespace {

class ImageWidget : public QWidget
{
public:
    const TPicture *picture = nullptr;

protected:
    void paintEvent(QPaintEvent *) override
    {
        const TBitmap *bitmap = picture ? picture->CurrentBitmap() : nullptr;
        if (!bitmap)
            return;
        QPainter painter(this);
        painter.drawImage(0, 0, bitmap->Image());
    }
};

} // namespace

TImage::TImage(TComponent *Owner)
    : TControl(Owner, std::make_unique<ImageWidget>()), Picture(std::make_unique<TPicture>())
{
    static_cast<ImageWidget *>(Handle())->picture = Picture.get();
}

TImage::~TImage() = default;
