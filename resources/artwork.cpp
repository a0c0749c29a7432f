#include "resources/artwork.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdint>

namespace kjf {

namespace {

const QColor kInk(38, 52, 86);
const QColor kSeal(196, 40, 36);
const QColor kPaper(250, 246, 235);

QPen pen(const QColor& colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// 导入: a sheet with an arrow coming in from the left.
void drawImport(QPainter& p) {
    p.setPen(pen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(QRectF(9.5, 3.5, 12, 17));
    p.setPen(pen(QColor(120, 130, 150), 1));
    for (int y = 8; y <= 17; y += 3) {
        p.drawLine(QPointF(12.5, y), QPointF(19, y));
    }
    p.setPen(pen(QColor(30, 130, 60), 2.2));
    p.drawLine(QPointF(2, 12), QPointF(12, 12));
    p.drawLine(QPointF(8.5, 8.5), QPointF(12, 12));
    p.drawLine(QPointF(8.5, 15.5), QPointF(12, 12));
}

// 校对: a red check mark over lines of text.
void drawCheck(QPainter& p) {
    p.setPen(pen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(QRectF(3.5, 2.5, 15, 19));
    p.setPen(pen(QColor(120, 130, 150), 1));
    for (int y = 6; y <= 18; y += 3) {
        p.drawLine(QPointF(6, y), QPointF(16, y));
    }
    p.setPen(pen(kSeal, 2.6));
    p.drawLine(QPointF(9, 13), QPointF(13, 18));
    p.drawLine(QPointF(13, 18), QPointF(22, 6));
}

// 清除标记: an eraser above a red stroke that it has half wiped out.
void drawEraser(QPainter& p) {
    p.setPen(pen(kSeal, 2.4));
    p.drawLine(QPointF(2.5, 20.5), QPointF(9, 20.5));
    p.setPen(pen(QColor(240, 180, 190), 2.4));
    p.drawLine(QPointF(9, 20.5), QPointF(13, 20.5));
    QPainterPath body;
    body.moveTo(7, 15);
    body.lineTo(15, 4);
    body.lineTo(22, 9);
    body.lineTo(14, 20);
    body.closeSubpath();
    p.setPen(pen(kInk, 1.2));
    p.setBrush(QColor(236, 120, 140));
    p.drawPath(body);
    QPainterPath tip;
    tip.moveTo(7, 15);
    tip.lineTo(10.5, 10.2);
    tip.lineTo(17.5, 15.2);
    tip.lineTo(14, 20);
    tip.closeSubpath();
    p.setBrush(QColor(235, 235, 240));
    p.drawPath(tip);
}

// 导出错误: a grid sheet with an arrow going out to the right.
void drawExport(QPainter& p) {
    p.setPen(pen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(QRectF(2.5, 3.5, 13, 17));
    p.setPen(pen(QColor(30, 130, 60), 1));
    for (int y = 7; y <= 17; y += 4) {
        p.drawLine(QPointF(3, y), QPointF(15, y));
    }
    p.drawLine(QPointF(8, 4), QPointF(8, 20));
    p.setPen(pen(kSeal, 2.2));
    p.drawLine(QPointF(12, 12), QPointF(22, 12));
    p.drawLine(QPointF(18.5, 8.5), QPointF(22, 12));
    p.drawLine(QPointF(18.5, 15.5), QPointF(22, 12));
}

// 导出修订稿: a sheet whose middle line has a word struck out in red and its correction written
// above it, with an arrow going out to the right.
void drawRevised(QPainter& p) {
    p.setPen(pen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(QRectF(2.5, 2.5, 14, 19));
    p.setPen(pen(QColor(120, 130, 150), 1));
    p.drawLine(QPointF(5, 6.5), QPointF(14, 6.5));
    p.drawLine(QPointF(5, 13.5), QPointF(7, 13.5));
    p.drawLine(QPointF(5, 18), QPointF(11, 18));
    // The struck-out word and the stroke through it.
    p.setPen(pen(kInk, 1.6));
    p.drawLine(QPointF(8.5, 13.5), QPointF(13.5, 13.5));
    p.setPen(pen(kSeal, 1.3));
    p.drawLine(QPointF(7.8, 15), QPointF(14.2, 12));
    // The correction above, with the caret that shows where it goes.
    p.setPen(pen(QColor(30, 130, 60), 1.6));
    p.drawLine(QPointF(9, 9.5), QPointF(13.5, 9.5));
    p.setPen(pen(kSeal, 1));
    p.drawLine(QPointF(7, 12), QPointF(8.2, 10.2));
    p.drawLine(QPointF(8.2, 10.2), QPointF(9.4, 12));
    p.setPen(pen(kInk, 2.2));
    p.drawLine(QPointF(15, 17.5), QPointF(22.5, 17.5));
    p.drawLine(QPointF(19.5, 14.5), QPointF(22.5, 17.5));
    p.drawLine(QPointF(19.5, 20.5), QPointF(22.5, 17.5));
}

// 词库设置: a closed book with a small gear.
void drawDictionaries(QPainter& p) {
    p.setPen(pen(kInk, 1.2));
    p.setBrush(QColor(70, 110, 170));
    p.drawRoundedRect(QRectF(3.5, 2.5, 13, 18), 1.5, 1.5);
    p.setBrush(kPaper);
    p.drawRect(QRectF(5.5, 17.5, 11, 3));
    p.setPen(pen(kPaper, 1.2));
    p.drawLine(QPointF(7, 7), QPointF(13, 7));
    p.drawLine(QPointF(7, 10), QPointF(12, 10));
    const QPointF centre(17.5, 16.5);
    p.setPen(pen(kInk, 1));
    p.setBrush(QColor(200, 200, 205));
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(centre);
        p.rotate(45.0 * i);
        p.drawRect(QRectF(-1.3, -6, 2.6, 3));
        p.restore();
    }
    p.drawEllipse(centre, 4.3, 4.3);
    p.setBrush(kPaper);
    p.drawEllipse(centre, 1.6, 1.6);
}

// 关于: a blue circle with an "i".
void drawAbout(QPainter& p) {
    QRadialGradient fill(QPointF(10, 9), 12);
    fill.setColorAt(0, QColor(110, 160, 230));
    fill.setColorAt(1, QColor(40, 90, 170));
    p.setPen(pen(kInk, 1));
    p.setBrush(fill);
    p.drawEllipse(QRectF(2.5, 2.5, 19, 19));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(12, 7.5), 1.7, 1.7);
    p.drawRoundedRect(QRectF(10.5, 10.5, 3, 8), 1, 1);
}

// 退出: an open door with an arrow leaving it.
void drawExit(QPainter& p) {
    p.setPen(pen(kInk, 1.2));
    p.setBrush(QColor(170, 120, 80));
    p.drawRect(QRectF(4.5, 2.5, 10, 19));
    p.setBrush(QColor(120, 80, 50));
    QPolygonF leaf;
    leaf << QPointF(4.5, 2.5) << QPointF(10, 5) << QPointF(10, 23) << QPointF(4.5, 21.5);
    p.drawPolygon(leaf);
    p.setPen(pen(kSeal, 2.2));
    p.drawLine(QPointF(13, 12), QPointF(22, 12));
    p.drawLine(QPointF(18.5, 8.5), QPointF(22, 12));
    p.drawLine(QPointF(18.5, 15.5), QPointF(22, 12));
}

}  // namespace

QPixmap toolBarStrip(int scale) {
    const auto draw = [](int factor) {
        QPixmap image(kToolBarImageSize * kToolBarImageCount * factor, kToolBarImageSize * factor);
        image.setDevicePixelRatio(factor);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        void (*const painters[kToolBarImageCount])(QPainter&) = {
            drawImport,  drawCheck,        drawEraser, drawExport,
            drawRevised, drawDictionaries, drawAbout,  drawExit};
        for (int i = 0; i < kToolBarImageCount; ++i) {
            p.save();
            p.translate(i * kToolBarImageSize, 0);
            painters[i](p);
            p.restore();
        }
        return image;
    };
    static const QPixmap single = draw(1);
    static const QPixmap twice = draw(2);
    return scale == 1 ? single : scale == 2 ? twice : draw(scale);
}

QIcon toolBarIcon(int index) {
    QIcon icon;
    for (const int scale : {1, 2}) {
        const int side = kToolBarImageSize * scale;
        QPixmap image = toolBarStrip(scale).copy(index * side, 0, side, side);
        image.setDevicePixelRatio(scale);
        icon.addPixmap(image);
    }
    return icon;
}

QPixmap welcomePicture() {
    QPixmap image(400, 250);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient sky(0, 0, 0, 250);
    sky.setColorAt(0, QColor(26, 38, 66));
    sky.setColorAt(1, QColor(52, 78, 120));
    p.fillRect(image.rect(), sky);

    // Faint ruled lines, like the grid of a manuscript sheet.
    p.setPen(QPen(QColor(255, 255, 255, 22), 1));
    for (int x = 20; x < 400; x += 24) {
        p.drawLine(x, 0, x, 190);
    }

    // Distant hills.
    QPainterPath hills;
    hills.moveTo(0, 190);
    hills.cubicTo(80, 140, 140, 170, 200, 150);
    hills.cubicTo(260, 130, 330, 170, 400, 145);
    hills.lineTo(400, 250);
    hills.lineTo(0, 250);
    p.fillPath(hills, QColor(20, 30, 52, 200));

    QFont title = p.font();
    title.setPixelSize(64);
    title.setBold(true);
    p.setFont(title);
    p.setPen(kPaper);
    p.drawText(QRect(40, 40, 300, 80), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("勘鉴坊"));

    QFont subtitle = p.font();
    subtitle.setPixelSize(16);
    subtitle.setBold(false);
    p.setFont(subtitle);
    p.setPen(QColor(210, 220, 235));
    p.drawText(QRect(44, 120, 320, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("中文文字校对工具"));

    // The seal in the corner.
    p.setPen(Qt::NoPen);
    p.setBrush(kSeal);
    p.drawRoundedRect(QRectF(318, 36, 46, 46), 5, 5);
    QFont seal = p.font();
    seal.setPixelSize(30);
    seal.setBold(true);
    p.setFont(seal);
    p.setPen(kPaper);
    p.drawText(QRectF(318, 36, 46, 46), Qt::AlignCenter, QStringLiteral("勘"));
    return image;
}

namespace {

const auto kIconCharacter = u"勘";

QFont iconFont(int size) {
    QFont font;
    font.setPixelSize(size * 3 / 4);
    font.setBold(true);
    return font;
}

// The icon's two shapes at size x size: the rounded square and the character's outline, placed
// where QPainter::drawText with Qt::AlignCenter puts it. Outlines come without the emboldening
// that drawText gives a font that has no bold face, so the character is also stroked, as wide as
// that emboldening (a 24th of the font's size).
struct IconShapes {
    QPainterPath seal;
    QPainterPath character;
    qreal stroke = 0;
};

IconShapes iconShapes(int size) {
    IconShapes shapes;
    shapes.seal.addRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 8.0, size / 8.0);
    const QFont font = iconFont(size);
    const QFontMetricsF metrics(font);
    const QString character = QString::fromUtf16(kIconCharacter);
    const qreal x = (size - metrics.horizontalAdvance(character)) / 2;
    const qreal baseline = (size - metrics.height()) / 2 + metrics.ascent();
    shapes.character.addText(x, baseline, font, character);
    shapes.character.setFillRule(Qt::WindingFill);
    shapes.stroke = font.pixelSize() / 24.0;
    return shapes;
}

// SVG path data for path: absolute moves, lines and cubic curves.
QByteArray svgPathData(const QPainterPath& path) {
    const auto number = [](qreal value) {
        QByteArray text = QByteArray::number(value, 'f', 2);
        while (text.endsWith('0')) {
            text.chop(1);
        }
        if (text.endsWith('.')) {
            text.chop(1);
        }
        return text == "-0" ? QByteArray("0") : text;
    };
    const auto point = [&](const QPainterPath::Element& e) {
        return number(e.x) + ' ' + number(e.y);
    };
    QByteArray data;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
            case QPainterPath::MoveToElement:
                data += 'M' + point(e);
                break;
            case QPainterPath::LineToElement:
                data += 'L' + point(e);
                break;
            case QPainterPath::CurveToElement:
                // A curve is followed by its two further points.
                data += 'C' + point(e) + ' ' + point(path.elementAt(i + 1)) + ' ' +
                        point(path.elementAt(i + 2));
                i += 2;
                break;
            case QPainterPath::CurveToDataElement:
                break;
        }
    }
    return data;
}

QByteArray svgColour(const QColor& colour) {
    return colour.name(QColor::HexRgb).toLatin1();
}

}  // namespace

QImage applicationIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const IconShapes shapes = iconShapes(size);
    p.fillPath(shapes.seal, kSeal);
    p.setPen(pen(kPaper, shapes.stroke));
    p.setBrush(kPaper);
    p.drawPath(shapes.character);
    return image;
}

bool applicationIconHasGlyph() {
    const QFontMetricsF metrics(iconFont(256));
    return metrics.inFontUcs4(QString::fromUtf16(kIconCharacter).toUcs4().front()) &&
           !iconShapes(256).character.isEmpty();
}

QByteArray applicationIconSvg() {
    constexpr int kSize = 256;
    const IconShapes shapes = iconShapes(kSize);
    const QByteArray side = QByteArray::number(kSize);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           side + "\" height=\"" + side + "\" viewBox=\"0 0 " + side + ' ' + side +
           "\">\n"
           "<path fill=\"" +
           svgColour(kSeal) + "\" d=\"" + svgPathData(shapes.seal) +
           "\"/>\n"
           "<path fill=\"" +
           svgColour(kPaper) + "\" fill-rule=\"nonzero\" stroke=\"" + svgColour(kPaper) +
           "\" stroke-width=\"" + QByteArray::number(shapes.stroke) +
           "\" stroke-linecap=\"round\" stroke-linejoin=\"round\" d=\"" +
           svgPathData(shapes.character) + "\"/>\n</svg>\n";
}

QIcon applicationIcon() {
    QIcon icon;
    for (const int size : kApplicationIconSizes) {
        icon.addPixmap(QPixmap::fromImage(applicationIconImage(size)));
    }
    return icon;
}

QPixmap aboutPicture() {
    constexpr int kModules = 25;
    constexpr int kModule = 8;
    constexpr int kBorder = 0;
    QPixmap image(200, 200);
    image.fill(Qt::white);
    QPainter p(&image);
    const auto module = [&p](int column, int row, const QColor& colour) {
        p.fillRect(kBorder + column * kModule, kBorder + row * kModule, kModule, kModule, colour);
    };
    const auto inFinder = [](int column, int row) {
        const auto near = [](int v, int at) { return v >= at && v < at + 8; };
        return (near(column, 0) && near(row, 0)) || (near(column, kModules - 8) && near(row, 0)) ||
               (near(column, 0) && near(row, kModules - 8));
    };
    const auto inSeal = [](int column, int row) {
        return column >= 9 && column <= 15 && row >= 9 && row <= 15;
    };
    // A fixed scatter of modules from a small linear congruential sequence: the same picture on
    // every start.
    std::uint32_t state = 0x4B4A46u;
    for (int row = 0; row < kModules; ++row) {
        for (int column = 0; column < kModules; ++column) {
            state = state * 1664525u + 1013904223u;
            if (inFinder(column, row) || inSeal(column, row)) {
                continue;
            }
            const bool timing = (row == 6 || column == 6) && (row + column) % 2 == 0;
            if (timing || (state >> 24) % 2 == 0) {
                module(column, row, kInk);
            }
        }
    }
    // The three finder squares in the corners.
    for (const QPoint corner : {QPoint(0, 0), QPoint(kModules - 7, 0), QPoint(0, kModules - 7)}) {
        p.fillRect(corner.x() * kModule, corner.y() * kModule, 7 * kModule, 7 * kModule, kInk);
        p.fillRect((corner.x() + 1) * kModule, (corner.y() + 1) * kModule, 5 * kModule, 5 * kModule,
                   Qt::white);
        p.fillRect((corner.x() + 2) * kModule, (corner.y() + 2) * kModule, 3 * kModule, 3 * kModule,
                   kInk);
    }
    // The seal in the middle.
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF seal(9 * kModule + 3, 9 * kModule + 3, 7 * kModule - 6, 7 * kModule - 6);
    p.setPen(Qt::NoPen);
    p.setBrush(kSeal);
    p.drawRoundedRect(seal, 5, 5);
    QFont face = p.font();
    face.setPixelSize(34);
    face.setBold(true);
    p.setFont(face);
    p.setPen(kPaper);
    p.drawText(seal, Qt::AlignCenter, QStringLiteral("勘"));
    return image;
}

}  // namespace kjf
