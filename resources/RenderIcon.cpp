// Build-time tool: renders the program icon's SVG drawing as a square PNG.
// Usage: kalvex_render_icon IN.svg OUT.png SIZE

#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "Usage: %s IN.svg OUT.png SIZE\n", argv[0]);
        return 2;
    }
    bool isNumber = false;
    const int size = QString::fromLocal8Bit(argv[3]).toInt(&isNumber);
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!isNumber || size <= 0 || !renderer.isValid()) {
        std::fprintf(stderr, "%s: cannot render %s at %s pixels\n", argv[0], argv[1], argv[3]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        renderer.render(&painter);
    }
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
