// The picture, its bitmap and the image control that shows it: the bitmap's memory layout, and
// what reaches the screen.

#include "toolkit/Graphics.h"
#include "toolkit/Exception.h"
#include "toolkit/Image.h"

#include <QScreen>
#include <QTest>
#include <QWidget>

#include <cstring>

namespace {

// A bitmap of the given size whose every pixel tells where it is: blue the column, green the row.
void FillWithPositions(TBitmap &bitmap, int width, int height)
{
    bitmap.SetWidth(width);
    bitmap.SetHeight(height);
    bitmap.SetPixelFormat(pf24bit);
    for (int y = 0; y < height; ++y) {
        std::uint8_t *pixel = bitmap.GetScanline(y);
        for (int x = 0; x < width; ++x, pixel += 3) {
            pixel[0] = static_cast<std::uint8_t>(x);
            pixel[1] = static_cast<std::uint8_t>(y);
            pixel[2] = 0x80;
        }
    }
}

QRgb PositionColour(int x, int y)
{
    return qRgb(0x80, y, x);
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

// What the screen shows of a window, without letting it paint anew.
QImage OnScreen(QWidget *window)
{
    return window->screen()
        ->grabWindow(window->winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

} // namespace

class GraphicsTest : public QObject
{
    Q_OBJECT

private slots:
    void thePictureMakesItsBitmapOnceAndKeepsIt()
    {
        TPicture picture;
        QCOMPARE(picture.CurrentBitmap(), nullptr);
        TBitmap *bitmap = picture.GetBitmap();
        QVERIFY(bitmap);
        QCOMPARE(bitmap->GetWidth(), 0);
        QCOMPARE(bitmap->GetHeight(), 0);
        QCOMPARE(picture.GetBitmap(), bitmap);
        QCOMPARE(picture.CurrentBitmap(), bitmap);
    }

    void rowsTakeThreeBytesAPixelRoundedUpToFour_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("rowBytes");
        QTest::newRow("no pixels") << 0 << 0;
        QTest::newRow("1 pixel") << 1 << 4;
        QTest::newRow("3 pixels") << 3 << 12;
        QTest::newRow("4 pixels, no padding") << 4 << 12;
        QTest::newRow("5 pixels") << 5 << 16;
        QTest::newRow("640 pixels") << 640 << 1920;
        QTest::newRow("641 pixels, one byte of padding") << 641 << 1924;
        QTest::newRow("642 pixels, two bytes") << 642 << 1928;
    }

    void rowsTakeThreeBytesAPixelRoundedUpToFour()
    {
        QFETCH(int, width);
        QFETCH(int, rowBytes);
        QCOMPARE(BytesPerScanline(width, pf24bit), rowBytes);
        if (width == 0)
            return;
        TBitmap bitmap;
        bitmap.SetWidth(width);
        bitmap.SetHeight(3);
        bitmap.SetPixelFormat(pf24bit);
        QCOMPARE(static_cast<int>(bitmap.GetScanline(1) - bitmap.GetScanline(0)), rowBytes);
        QCOMPARE(static_cast<int>(bitmap.GetScanline(2) - bitmap.GetScanline(1)), rowBytes);
    }

    void rowZeroIsTheTopRowStoredBlueGreenRed()
    {
        TImage image(nullptr);
        image.SetWidth(2);
        image.SetHeight(2);
        TBitmap *bitmap = image.GetPicture()->GetBitmap();
        bitmap->SetWidth(2);
        bitmap->SetHeight(2);
        bitmap->SetPixelFormat(pf24bit);
        const std::uint8_t top[] = {0x10, 0x20, 0x30, 0x11, 0x21, 0x31};
        const std::uint8_t bottom[] = {0x40, 0x50, 0x60, 0x41, 0x51, 0x61};
        std::memcpy(bitmap->GetScanline(0), top, sizeof top);
        std::memcpy(bitmap->GetScanline(1), bottom, sizeof bottom);

        const QImage shown = image.Handle()->grab().toImage();
        QCOMPARE(shown.pixel(0, 0), qRgb(0x30, 0x20, 0x10));
        QCOMPARE(shown.pixel(1, 0), qRgb(0x31, 0x21, 0x11));
        QCOMPARE(shown.pixel(0, 1), qRgb(0x60, 0x50, 0x40));
        QCOMPARE(shown.pixel(1, 1), qRgb(0x61, 0x51, 0x41));
    }

    void theSameSizeAndFormatKeepThePixelsInPlace()
    {
        TBitmap bitmap;
        FillWithPositions(bitmap, 641, 3);
        const std::uint8_t *const memory = bitmap.GetScanline(0);
        bitmap.SetWidth(641);
        bitmap.SetHeight(3);
        bitmap.SetPixelFormat(pf24bit);
        QCOMPARE(bitmap.GetScanline(0), memory);
        QCOMPARE(bitmap.GetScanline(2)[3 * 7 + 1], std::uint8_t(2)); // the pixels are kept too
    }

    void aNewSizeGivesRowsOfThatSize()
    {
        TBitmap bitmap;
        FillWithPositions(bitmap, 4, 2);
        bitmap.SetWidth(5);
        bitmap.SetHeight(3);
        QCOMPARE(bitmap.GetWidth(), 5);
        QCOMPARE(bitmap.GetHeight(), 3);
        QCOMPARE(static_cast<int>(bitmap.GetScanline(2) - bitmap.GetScanline(0)), 2 * 16);
        bitmap.SetHeight(0);
        QCOMPARE(bitmap.GetHeight(), 0);
        QVERIFY_THROWS_EXCEPTION(Exception, bitmap.GetScanline(0));
    }

    void theImageShowsItsBitmapUnscaledFromTheTopLeftCutOffAtItsEdges_data()
    {
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QSize>("bitmap");
        QTest::newRow("bitmap smaller both ways") << QSize(30, 20) << QSize(17, 9);
        QTest::newRow("bitmap larger both ways") << QSize(30, 20) << QSize(45, 33);
        QTest::newRow("bitmap wider, area taller") << QSize(30, 20) << QSize(41, 7);
        QTest::newRow("same size") << QSize(30, 20) << QSize(30, 20);
        QTest::newRow("empty bitmap") << QSize(30, 20) << QSize(0, 0);
    }

    void theImageShowsItsBitmapUnscaledFromTheTopLeftCutOffAtItsEdges()
    {
        QFETCH(QSize, area);
        QFETCH(QSize, bitmap);
        TImage image(nullptr);
        image.SetWidth(area.width());
        image.SetHeight(area.height());
        FillWithPositions(*image.GetPicture()->GetBitmap(), bitmap.width(), bitmap.height());

        // Painted once onto the screen through the window's backing store, once into a grab.
        QWidget *widget = image.Handle();
        widget->show();
        QVERIFY(QTest::qWaitForWindowExposed(widget));
        const QRgb background = widget->palette().color(QPalette::Window).rgb();
        for (const QImage &shown : {OnScreen(widget), widget->grab().toImage()}) {
            QCOMPARE(shown.size(), area);
            for (int y = 0; y < area.height(); ++y)
                for (int x = 0; x < area.width(); ++x) {
                    const bool onBitmap = x < bitmap.width() && y < bitmap.height();
                    const QRgb expected = onBitmap ? PositionColour(x, y) : background;
                    if (shown.pixel(x, y) != expected)
                        QFAIL(qPrintable(QString("pixel %1,%2 is %3, not %4")
                                             .arg(x)
                                             .arg(y)
                                             .arg(shown.pixel(x, y), 0, 16)
                                             .arg(expected, 0, 16)));
                }
        }
    }

    // Painting writes straight into the target where it can, and leaves the rest to Qt: both
    // must give the same picture, at any place in the target.
    void everyKindOfTargetGetsTheSamePicture_data()
    {
        QTest::addColumn<QImage::Format>("format");
        QTest::addColumn<QPoint>("place");
        QTest::newRow("32-bit, at the corner") << QImage::Format_RGB32 << QPoint(0, 0);
        QTest::newRow("32-bit with alpha, inside")
            << QImage::Format_ARGB32_Premultiplied << QPoint(3, 5);
        QTest::newRow("24-bit, inside") << QImage::Format_RGB888 << QPoint(3, 5);
        QTest::newRow("24-bit, hanging over the edge") << QImage::Format_RGB888 << QPoint(-4, -2);
        QTest::newRow("32-bit, hanging over the edge") << QImage::Format_RGB32 << QPoint(-4, -2);
    }

    void everyKindOfTargetGetsTheSamePicture()
    {
        QFETCH(QImage::Format, format);
        QFETCH(QPoint, place);
        TImage image(nullptr);
        image.SetWidth(13);
        image.SetHeight(7);
        FillWithPositions(*image.GetPicture()->GetBitmap(), 11, 7);

        QImage target(20, 15, format);
        target.fill(Qt::black);
        image.Handle()->render(&target, place);

        QImage expected(20, 15, QImage::Format_RGB32);
        expected.fill(Qt::black);
        const QRgb background = image.Handle()->palette().color(QPalette::Window).rgb();
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x)
                if (expected.rect().contains(place + QPoint(x, y)))
                    expected.setPixel(place + QPoint(x, y),
                                      x < 11 ? PositionColour(x, y) : background);
        QCOMPARE(target.convertToFormat(QImage::Format_RGB32), expected);
    }

    void refreshPutsTheBitmapOnTheScreenBeforeItReturns()
    {
        TImage image(nullptr);
        image.SetWidth(8);
        image.SetHeight(6);
        TBitmap *bitmap = image.GetPicture()->GetBitmap();
        FillWithPositions(*bitmap, 8, 6);
        QWidget *widget = image.Handle();
        widget->show();
        QVERIFY(QTest::qWaitForWindowExposed(widget));
        QCoreApplication::processEvents(); // nothing left to paint later

        bitmap->GetScanline(5)[3 * 7 + 2] = 0xff; // the bottom-right pixel turns red
        PaintCount count(widget);
        image.Refresh();
        QCOMPARE(count.paints, 1);
        QCOMPARE(OnScreen(widget).pixel(7, 5), qRgb(0xff, 5, 7));
        QCOMPARE(OnScreen(widget).pixel(6, 5), PositionColour(6, 5));
    }
};

int RunGraphicsTests(int argc, char **argv)
{
    GraphicsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "GraphicsTest.moc"
