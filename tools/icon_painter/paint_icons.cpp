// Paints the program's icons into PNG files: a rounded blue tile with a white
// symbol, one family for the tool bars, tabs and labels, plus the window icon
// and the about box's picture. Run through the sonfeld_icons target.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kSize = 48;

const QColor kWhite(255, 255, 255);
const QColor kTop(0x5b, 0x9b, 0xe6);
const QColor kBottom(0x1d, 0x5b, 0xae);

void Tile(QPainter& p, const QColor& top = kTop, const QColor& bottom = kBottom)
{
    QLinearGradient gradient(0, 0, 0, kSize);
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    p.setPen(QPen(bottom.darker(130), 1.5));
    p.setBrush(gradient);
    p.drawRoundedRect(QRectF(2, 2, kSize - 4, kSize - 4), 9, 9);
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
}

void Disc(QPainter& p, QPointF centre, double radius)
{
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    path.addEllipse(centre, radius * 0.28, radius * 0.28);
    p.drawPath(path);
}

void Triangle(QPainter& p, QPointF a, QPointF b, QPointF c)
{
    p.drawPolygon(QPolygonF({a, b, c}));
}

void Arrow(QPainter& p, double x, double y, double w, double h)
{
    p.drawRect(QRectF(x + w * 0.35, y, w * 0.3, h * 0.55));
    Triangle(p, {x, y + h * 0.5}, {x + w, y + h * 0.5}, {x + w / 2, y + h});
}

void Text(QPainter& p, const QString& text, int pixelSize)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(pixelSize);
    p.setFont(font);
    p.setPen(kWhite);
    p.drawText(QRectF(0, 0, kSize, kSize), Qt::AlignCenter, text);
}

using Painter = std::function<void(QPainter&)>;

void Save(const QString& folder, const QString& name, const Painter& paint,
          QSize size = {kSize, kSize})
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double scale = std::min(size.width(), size.height()) / double(kSize);
    p.translate((size.width() - kSize * scale) / 2, 0);
    p.scale(scale, scale);
    paint(p);
    p.end();
    if (!image.save(QDir(folder).filePath(name + QStringLiteral(".png"))))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: sonfeld-paint-icons FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);

    Save(folder, "sonfeld", [](QPainter& p) {
        Tile(p);
        Disc(p, {24, 22}, 15);
        p.setBrush(QColor(0xff, 0xc8, 0x3d));
        Triangle(p, {30, 30}, {44, 37}, {30, 44});
    });
    Save(folder, "rip", [](QPainter& p) {
        Tile(p);
        Disc(p, {19, 19}, 12);
        Arrow(p, 26, 22, 16, 20);
    });
    Save(folder, "stop", [](QPainter& p) {
        Tile(p, QColor(0xe8, 0x6a, 0x5a), QColor(0xb0, 0x2a, 0x1e));
        p.drawRoundedRect(QRectF(14, 14, 20, 20), 3, 3);
    });
    Save(folder, "refresh", [](QPainter& p) {
        Tile(p);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kWhite, 5, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(QRectF(12, 12, 24, 24), 60 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(kWhite);
        Triangle(p, {26, 6}, {36, 15}, {24, 19});
    });
    Save(folder, "lookup", [](QPainter& p) {
        Tile(p);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kWhite, 4.5));
        p.drawEllipse(QPointF(21, 21), 9.5, 9.5);
        p.setPen(QPen(kWhite, 6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(28.5, 28.5), QPointF(37, 37));
    });
    Save(folder, "options", [](QPainter& p) {
        Tile(p);
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(24, 24);
            p.rotate(i * 45);
            p.drawRect(QRectF(-3, -16, 6, 8));
            p.restore();
        }
        QPainterPath gear;
        gear.addEllipse(QPointF(24, 24), 11, 11);
        gear.addEllipse(QPointF(24, 24), 4.5, 4.5);
        p.drawPath(gear);
    });
    Save(folder, "help", [](QPainter& p) {
        Tile(p);
        Text(p, QStringLiteral("?"), 32);
    });
    Save(folder, "about", [](QPainter& p) {
        Tile(p);
        Text(p, QStringLiteral("i"), 32);
    });
    Save(folder, "drive", [](QPainter& p) {
        Tile(p);
        p.drawRoundedRect(QRectF(8, 26, 32, 12), 3, 3);
        Disc(p, {24, 17}, 10);
        p.setBrush(kBottom);
        p.drawEllipse(QPointF(34, 32), 2, 2);
    });
    Save(folder, "folder", [](QPainter& p) {
        Tile(p, QColor(0xf5, 0xc4, 0x5a), QColor(0xc9, 0x8a, 0x14));
        p.drawRoundedRect(QRectF(9, 14, 14, 8), 2, 2);
        p.drawRoundedRect(QRectF(9, 18, 30, 18), 3, 3);
    });
    Save(folder, "settings", [](QPainter& p) {
        Tile(p);
        for (int i = 0; i < 3; ++i) {
            const double y = 14 + i * 10;
            p.drawRect(QRectF(10, y - 1.5, 28, 3));
            p.drawEllipse(QPointF(14 + i * 9, y), 4, 4);
        }
    });
    Save(folder, "eject", [](QPainter& p) {
        Tile(p);
        Triangle(p, {12, 27}, {36, 27}, {24, 12});
        p.drawRect(QRectF(12, 31, 24, 5));
    });
    Save(folder, "pause", [](QPainter& p) {
        Tile(p);
        p.drawRect(QRectF(15, 13, 6, 22));
        p.drawRect(QRectF(27, 13, 6, 22));
    });
    Save(folder, "play", [](QPainter& p) {
        Tile(p);
        Triangle(p, {17, 12}, {37, 24}, {17, 36});
    });
    Save(folder, "previous", [](QPainter& p) {
        Tile(p);
        p.drawRect(QRectF(12, 13, 4, 22));
        Triangle(p, {35, 13}, {35, 35}, {17, 24});
    });
    Save(folder, "next", [](QPainter& p) {
        Tile(p);
        p.drawRect(QRectF(32, 13, 4, 22));
        Triangle(p, {13, 13}, {13, 35}, {31, 24});
    });
    Save(folder, "select_all", [](QPainter& p) {
        Tile(p);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kWhite, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(12, 25), QPointF(21, 33), QPointF(36, 15)}));
    });
    Save(folder, "invert", [](QPainter& p) {
        Tile(p);
        Triangle(p, {10, 17}, {22, 9}, {22, 25});
        p.drawRect(QRectF(20, 14, 18, 6));
        Triangle(p, {38, 31}, {26, 23}, {26, 39});
        p.drawRect(QRectF(10, 28, 18, 6));
    });
    Save(folder, "save", [](QPainter& p) {
        Tile(p);
        p.drawRoundedRect(QRectF(11, 11, 26, 26), 3, 3);
        p.setBrush(kBottom);
        p.drawRect(QRectF(16, 11, 16, 9));
        p.drawRect(QRectF(15, 26, 18, 11));
    });
    Save(folder, "about_logo",
         [](QPainter& p) {
             Tile(p);
             Disc(p, {24, 22}, 15);
             p.setBrush(QColor(0xff, 0xc8, 0x3d));
             Triangle(p, {30, 30}, {44, 37}, {30, 44});
         },
         {81, 52});
    return 0;
}
