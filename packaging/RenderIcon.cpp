// Renders the program's icon at one size of the desktop's icon theme. Every size is enlarged from
// the one XPM design by whole pixels, so the launcher shows the window's icon with the same 16
// colours and hard edges, only bigger.

#include <QImage>
#include <QString>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <icon.xpm> <size> <icon.png>\n", argv[0]);
        return 2;
    }
    const QImage design(QString::fromLocal8Bit(argv[1]), "XPM");
    if (design.isNull() || design.width() != design.height()) {
        std::fprintf(stderr, "%s: %s is not a square XPM image\n", argv[0], argv[1]);
        return 1;
    }
    bool isNumber = false;
    const int size = QString::fromLocal8Bit(argv[2]).toInt(&isNumber);
    // Any other size would draw some design pixels wider than others.
    if (!isNumber || size <= 0 || size % design.width() != 0) {
        std::fprintf(stderr, "%s: size %s is not a whole multiple of %d\n", argv[0], argv[2],
                     design.width());
        return 1;
    }
    const QImage rendering = design.scaledToWidth(size, Qt::FastTransformation);
    if (!rendering.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[3]);
        return 1;
    }
    return 0;
}
