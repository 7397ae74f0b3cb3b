// Paints every picture of the desktop program into PNG files named by resource number.
// The pictures are committed under res/pictures; rerun this (target tarvik_pictures)
// after changing a drawing. Usage: tarvik_paint_pictures OUTPUT_FOLDER
#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Painter = std::function<void(QPainter&)>;

const QColor kMagenta(255, 0, 255);
const QColor kToolbarFace(236, 236, 236);

QImage Transparent(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Flattens a drawing with soft edges onto a key colour: nearly transparent pixels become
// the key, the rest are blended onto the face colour the picture is shown on.
QImage OnKeyColour(const QImage& drawn, const QColor& key, const QColor& face) {
    QImage out(drawn.size(), QImage::Format_RGB32);
    const QImage src = drawn.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < src.height(); ++y) {
        for (int x = 0; x < src.width(); ++x) {
            const QColor c = src.pixelColor(x, y);
            if (c.alpha() < 60) {
                out.setPixelColor(x, y, key);
                continue;
            }
            const double a = c.alphaF();
            out.setPixelColor(
                x, y,
                QColor::fromRgbF(static_cast<float>(c.redF() * a + face.redF() * (1 - a)),
                                 static_cast<float>(c.greenF() * a + face.greenF() * (1 - a)),
                                 static_cast<float>(c.blueF() * a + face.blueF() * (1 - a))));
        }
    }
    return out;
}

QImage Draw(int w, int h, const Painter& paint) {
    QImage image = Transparent(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    return image;
}

QImage Recolour(const QImage& drawn, const std::function<QColor(QColor)>& change) {
    QImage out = drawn.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) out.setPixelColor(x, y, change(out.pixelColor(x, y)));
    return out;
}

QColor Brighter(QColor c) {
    const int a = c.alpha();
    QColor b = c.lighter(118);
    b.setAlpha(a);
    return b;
}

QColor Greyed(QColor c) {
    const int grey = qGray(c.rgb());
    const int light = 120 + grey / 2;
    return QColor(light, light, light, c.alpha() / 2 + c.alpha() / 4);
}

// ---- small shapes shared by several pictures ----

void HardDisk(QPainter& p, QRectF r) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(200, 204, 210));
    g.setColorAt(1, QColor(120, 126, 136));
    p.setPen(QPen(QColor(60, 64, 72), 1));
    p.setBrush(g);
    p.drawRoundedRect(r, 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 200, 60));
    const double led = r.height() * 0.18;
    p.drawEllipse(QRectF(r.right() - led * 2.2, r.center().y() - led / 2, led, led));
    p.setPen(QPen(QColor(70, 74, 82), 1));
    for (int i = 0; i < 3; ++i) {
        const double x = r.left() + r.width() * (0.15 + 0.1 * i);
        p.drawLine(QPointF(x, r.top() + r.height() * 0.3),
                   QPointF(x, r.bottom() - r.height() * 0.3));
    }
}

void Document(QPainter& p, QRectF r, QColor paper = QColor(255, 255, 255)) {
    const double fold = r.width() * 0.3;
    QPainterPath path;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setPen(QPen(QColor(70, 80, 100), 1));
    p.setBrush(paper);
    p.drawPath(path);
    p.setPen(QPen(QColor(150, 160, 180), 1));
    for (double y = r.top() + fold + 2; y < r.bottom() - 2; y += 3)
        p.drawLine(QPointF(r.left() + 2.5, y), QPointF(r.right() - 2.5, y));
}

void Folder(QPainter& p, QRectF r, bool open) {
    const QColor back(214, 160, 40), front(250, 206, 90);
    p.setPen(QPen(QColor(140, 96, 20), 1));
    p.setBrush(back);
    QPainterPath tab;
    tab.moveTo(r.left(), r.bottom());
    tab.lineTo(r.left(), r.top() + r.height() * 0.12);
    tab.lineTo(r.left() + r.width() * 0.4, r.top() + r.height() * 0.12);
    tab.lineTo(r.left() + r.width() * 0.5, r.top() + r.height() * 0.25);
    tab.lineTo(r.right(), r.top() + r.height() * 0.25);
    tab.lineTo(r.right(), r.bottom());
    tab.closeSubpath();
    p.drawPath(tab);
    p.setBrush(front);
    if (open) {
        QPolygonF flap;
        flap << QPointF(r.left() + r.width() * 0.2, r.top() + r.height() * 0.42)
             << QPointF(r.right() + 0.5, r.top() + r.height() * 0.42)
             << QPointF(r.right() - r.width() * 0.2, r.bottom()) << QPointF(r.left(), r.bottom());
        p.drawPolygon(flap);
    } else {
        p.drawRect(QRectF(r.left(), r.top() + r.height() * 0.38, r.width(), r.height() * 0.62));
    }
}

void Cross(QPainter& p, QRectF r, QColor colour) {
    p.setPen(QPen(colour, r.width() * 0.22, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
}

void QuestionMark(QPainter& p, QRectF r, QColor colour) {
    QFont f("DejaVu Sans");
    f.setBold(true);
    f.setPixelSize(static_cast<int>(r.height()));
    p.setFont(f);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, "?");
}

void Arrow(QPainter& p, QPointF from, QPointF to, QColor colour, double width) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QLineF line(to, from);
    QLineF a = line;
    a.setLength(width * 2.2);
    a.setAngle(line.angle() + 35);
    QLineF b = line;
    b.setLength(width * 2.2);
    b.setAngle(line.angle() - 35);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF() << to << a.p2() << b.p2());
}

void Tick(QPainter& p, QRectF r, QColor colour, double width) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPolygonF t;
    t << QPointF(r.left(), r.top() + r.height() * 0.55)
      << QPointF(r.left() + r.width() * 0.38, r.bottom()) << QPointF(r.right(), r.top());
    p.drawPolyline(t);
}

void Magnifier(QPainter& p, QRectF r) {
    const double d = r.width() * 0.62;
    const QRectF lens(r.left(), r.top(), d, d);
    p.setPen(QPen(QColor(90, 60, 30), r.width() * 0.16, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(lens.center() + QPointF(d * 0.35, d * 0.35), r.bottomRight());
    QRadialGradient g(lens.center() - QPointF(d * 0.15, d * 0.15), d * 0.6);
    g.setColorAt(0, QColor(235, 245, 255));
    g.setColorAt(1, QColor(140, 190, 235));
    p.setBrush(g);
    p.setPen(QPen(QColor(60, 70, 90), r.width() * 0.09));
    p.drawEllipse(lens);
}

// ---- the toolbar buttons, 30 by 30, in toolbar order ----

std::vector<Painter> ToolbarButtons() {
    return {
        [](QPainter& p) { HardDisk(p, QRectF(3, 9, 24, 12)); },  // Select Physical Disk
        [](QPainter& p) {                                        // Open Drive
            HardDisk(p, QRectF(2, 14, 22, 11));
            p.setPen(QPen(QColor(20, 90, 200), 1));
            p.setBrush(QColor(90, 150, 240));
            p.drawPie(QRectF(14, 2, 14, 14), 0, 90 * 16);
            p.setBrush(QColor(200, 220, 250));
            p.drawPie(QRectF(14, 2, 14, 14), 90 * 16, 270 * 16);
        },
        [](QPainter& p) {  // Add File Filter
            QPolygonF funnel;
            funnel << QPointF(4, 5) << QPointF(26, 5) << QPointF(17, 15) << QPointF(17, 25)
                   << QPointF(13, 27) << QPointF(13, 15);
            p.setPen(QPen(QColor(30, 70, 130), 1.2));
            p.setBrush(QColor(110, 170, 230));
            p.drawPolygon(funnel);
            Arrow(p, QPointF(24, 27), QPointF(24, 18), QColor(30, 150, 50), 2.4);
        },
        [](QPainter& p) { Magnifier(p, QRectF(4, 4, 22, 22)); },  // Find
        [](QPainter& p) {                                         // Find Next
            Magnifier(p, QRectF(2, 2, 19, 19));
            Arrow(p, QPointF(15, 25), QPointF(27, 25), QColor(30, 150, 50), 2.4);
        },
        [](QPainter& p) {  // Recover All
            Document(p, QRectF(10, 2, 13, 17), QColor(245, 245, 220));
            Document(p, QRectF(6, 6, 13, 17));
            Arrow(p, QPointF(14, 27), QPointF(27, 27), QColor(30, 150, 50), 2.4);
            Arrow(p, QPointF(27, 27), QPointF(27, 17), QColor(30, 150, 50), 2.4);
        },
        [](QPainter& p) {  // Recover Deleted Files
            Document(p, QRectF(4, 3, 15, 20));
            Cross(p, QRectF(8, 9, 8, 8), QColor(210, 30, 30));
            Arrow(p, QPointF(14, 27), QPointF(27, 27), QColor(30, 150, 50), 2.4);
            Arrow(p, QPointF(27, 27), QPointF(27, 17), QColor(30, 150, 50), 2.4);
        },
        [](QPainter& p) {  // Recover Selected Files
            Document(p, QRectF(4, 3, 15, 20));
            Tick(p, QRectF(7, 9, 9, 8), QColor(20, 20, 20), 2.2);
            Arrow(p, QPointF(14, 27), QPointF(27, 27), QColor(30, 150, 50), 2.4);
            Arrow(p, QPointF(27, 27), QPointF(27, 17), QColor(30, 150, 50), 2.4);
        },
        [](QPainter& p) {  // Help Topics
            QRadialGradient g(QPointF(12, 11), 14);
            g.setColorAt(0, QColor(110, 170, 255));
            g.setColorAt(1, QColor(20, 70, 180));
            p.setPen(QPen(QColor(10, 40, 120), 1));
            p.setBrush(g);
            p.drawEllipse(QRectF(3, 3, 24, 24));
            QuestionMark(p, QRectF(3, 4, 24, 22), Qt::white);
        },
    };
}

QImage ToolbarStrip(const std::function<QColor(QColor)>& tone) {
    const auto buttons = ToolbarButtons();
    QImage strip = Transparent(30 * static_cast<int>(buttons.size()), 30);
    QPainter p(&strip);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        QImage one = Recolour(Draw(30, 30, buttons[i]), tone);
        p.drawImage(static_cast<int>(i) * 30, 0, one);
    }
    p.end();
    return OnKeyColour(strip, kMagenta, kToolbarFace);
}

// The toolbar buttons drawn at `size` pixels (30 is the layout size; 45 and 60 serve
// screens scaled by 1.5 and 2) on a transparent background, so they stay sharp and sit
// on any palette's toolbar.
QImage ToolbarStripAt(int size) {
    const auto buttons = ToolbarButtons();
    QImage strip = Transparent(size * static_cast<int>(buttons.size()), size);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    const double scale = size / 30.0;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        p.save();
        p.translate(static_cast<double>(i) * size, 0);
        p.scale(scale, scale);
        buttons[i](p);
        p.restore();
    }
    return strip;
}

// ---- tree images (16 by 16, white mask) and the list icons ----

std::vector<Painter> TreeImages() {
    return {
        [](QPainter& p) { HardDisk(p, QRectF(1, 5, 14, 7)); },
        [](QPainter& p) { Folder(p, QRectF(1, 2, 14, 12), false); },
        [](QPainter& p) { Folder(p, QRectF(1, 2, 14, 12), true); },
        [](QPainter& p) {
            Folder(p, QRectF(1, 2, 14, 12), false);
            Cross(p, QRectF(5, 6, 7, 7), QColor(220, 20, 20));
        },
        [](QPainter& p) {
            Folder(p, QRectF(1, 2, 14, 12), true);
            Cross(p, QRectF(5, 6, 7, 7), QColor(20, 60, 220));
        },
        [](QPainter& p) {
            Folder(p, QRectF(1, 2, 14, 12), false);
            QuestionMark(p, QRectF(3, 5, 11, 10), QColor(20, 60, 180));
        },
        [](QPainter& p) {
            Folder(p, QRectF(1, 2, 14, 12), true);
            QuestionMark(p, QRectF(3, 5, 11, 10), QColor(20, 60, 180));
        },
    };
}

// Icons of the file list: folder, file, deleted folder, deleted file, made-up folder.
std::vector<Painter> ListIcons(double s) {
    const QRectF folder(s * 0.06, s * 0.12, s * 0.88, s * 0.76);
    const QRectF doc(s * 0.18, s * 0.06, s * 0.62, s * 0.86);
    const QRectF mark(s * 0.38, s * 0.42, s * 0.42, s * 0.42);
    return {
        [=](QPainter& p) { Folder(p, folder, false); },
        [=](QPainter& p) { Document(p, doc); },
        [=](QPainter& p) {
            Folder(p, folder, false);
            Cross(p, mark, QColor(220, 20, 20));
        },
        [=](QPainter& p) {
            Document(p, doc);
            Cross(p, mark, QColor(220, 20, 20));
        },
        [=](QPainter& p) {
            Folder(p, folder, false);
            QuestionMark(p, mark.adjusted(-s * 0.1, -s * 0.1, 0, 0), QColor(20, 60, 180));
        },
    };
}

QImage Strip(const std::vector<Painter>& painters, int w, int h) {
    QImage strip = Transparent(w * static_cast<int>(painters.size()), h);
    QPainter p(&strip);
    for (std::size_t i = 0; i < painters.size(); ++i)
        p.drawImage(static_cast<int>(i) * w, 0, Draw(w, h, painters[i]));
    return strip;
}

// The check-box strip: blank, empty dotted box, black tick, grey tick (14 by 13 each).
QImage CheckStrip() {
    QImage strip(56, 13, QImage::Format_RGB32);
    strip.fill(Qt::white);
    QPainter p(&strip);
    for (int i = 1; i < 4; ++i) {
        const QRectF box(i * 14 + 1.5, 1.5, 10, 10);
        p.setPen(QPen(QColor(60, 60, 60), 1, Qt::DotLine));
        p.setBrush(QColor(252, 252, 252));
        p.drawRect(box);
        if (i == 1) continue;
        p.setRenderHint(QPainter::Antialiasing);
        Tick(p, box.adjusted(2, 2.5, -2, -2), i == 2 ? QColor(0, 0, 0) : QColor(150, 150, 150),
             1.8);
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    return strip;
}

// ---- larger pictures ----

void Platter(QPainter& p, QPointF centre, double radius) {
    QRadialGradient g(centre - QPointF(radius * 0.3, radius * 0.3), radius * 1.2);
    g.setColorAt(0, QColor(250, 252, 255));
    g.setColorAt(0.6, QColor(170, 180, 195));
    g.setColorAt(1, QColor(90, 100, 120));
    p.setPen(QPen(QColor(50, 55, 70), 1.5));
    p.setBrush(g);
    p.drawEllipse(centre, radius, radius);
    p.setBrush(QColor(60, 66, 80));
    p.drawEllipse(centre, radius * 0.14, radius * 0.14);
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.setBrush(Qt::NoBrush);
    for (double k = 0.35; k < 0.95; k += 0.15) p.drawEllipse(centre, radius * k, radius * k);
}

void AppIcon(QPainter& p, double s) {
    QRadialGradient g(QPointF(s * 0.4, s * 0.35), s * 0.7);
    g.setColorAt(0, QColor(70, 130, 230));
    g.setColorAt(1, QColor(15, 40, 110));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);
    Platter(p, QPointF(s * 0.46, s * 0.46), s * 0.34);
    const QRectF doc(s * 0.58, s * 0.5, s * 0.32, s * 0.42);
    Document(p, doc);
    Arrow(p, QPointF(s * 0.1, s * 0.9), QPointF(s * 0.44, s * 0.9), QColor(60, 220, 90), s * 0.06);
}

QImage Splash() {
    QImage image(296, 210, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 210);
    g.setColorAt(0, QColor(18, 50, 120));
    g.setColorAt(1, QColor(6, 18, 48));
    p.fillRect(image.rect(), g);
    Platter(p, QPointF(232, 72), 50);
    Document(p, QRectF(214, 96, 30, 40));
    Arrow(p, QPointF(150, 150), QPointF(205, 150), QColor(70, 220, 100), 4);
    QFont title("DejaVu Sans");
    title.setBold(true);
    title.setPixelSize(22);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(16, 24, 200, 60), Qt::AlignLeft | Qt::TextWordWrap, "Corvane Miravel NTFS");
    QFont small("DejaVu Sans");
    small.setPixelSize(12);
    p.setFont(small);
    p.setPen(QColor(190, 210, 240));
    p.drawText(QRectF(16, 88, 180, 20), Qt::AlignLeft, "Version 2.0");
    p.drawText(QRectF(16, 168, 270, 36), Qt::AlignLeft | Qt::TextWordWrap,
               "Data Recovery Software for NTFS/NTFS-5 File System");
    return image;
}

QImage AboutBitmap() {
    return Draw(45, 70, [](QPainter& p) {
        p.fillRect(QRectF(0, 0, 45, 70), QColor(18, 50, 120));
        Platter(p, QPointF(22.5, 22), 17);
        Document(p, QRectF(12, 42, 20, 24));
    });
}

QImage ScanningBitmap() {
    return Draw(40, 52, [](QPainter& p) {
        Platter(p, QPointF(20, 18), 16);
        Magnifier(p, QRectF(12, 26, 24, 24));
    });
}

bool Save(const QImage& image, const QString& folder, const QString& name) {
    const QString path = QDir(folder).filePath(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: tarvik_paint_pictures OUTPUT_FOLDER\n", stderr);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    bool ok = true;
    ok &= Save(ToolbarStrip([](QColor c) { return c; }), out, "bitmap_192.png");
    ok &= Save(ToolbarStrip(Brighter), out, "bitmap_189.png");
    ok &= Save(ToolbarStrip(Greyed), out, "bitmap_191.png");
    for (int size : {30, 45, 60})
        ok &= Save(ToolbarStripAt(size), out, QString("toolbar_%1.png").arg(size));
    ok &= Save(Splash(), out, "bitmap_181.png");
    ok &= Save(AboutBitmap(), out, "bitmap_200.png");
    ok &= Save(ScanningBitmap(), out, "bitmap_179.png");
    ok &= Save(Draw(32, 32, [](QPainter& p) { AppIcon(p, 32); }), out, "icon_128.png");
    ok &= Save(Draw(256, 256, [](QPainter& p) { AppIcon(p, 256); }), out, "icon_128_256.png");
    ok &= Save(Draw(16, 16, [](QPainter& p) { HardDisk(p, QRectF(1, 4, 14, 8)); }), out,
               "icon_134.png");
    ok &= Save(Draw(16, 16, [](QPainter& p) { HardDisk(p, QRectF(1, 4, 14, 8)); }), out,
               "icon_172.png");
    ok &= Save(OnKeyColour(Strip(TreeImages(), 16, 16), Qt::white, Qt::white), out,
               "tree_images.png");
    ok &= Save(CheckStrip(), out, "check_strip.png");
    ok &= Save(Strip(ListIcons(32), 32, 32), out, "list_icons_32.png");
    ok &= Save(Strip(ListIcons(16), 16, 16), out, "list_icons_16.png");
    return ok ? 0 : 1;
}
