#include "Faces.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

namespace pictures {
namespace {

const QColor kPlate(168, 215, 218);
const QColor kPlateEdge(118, 168, 174);
const QColor kCaption(60, 60, 60);

void DrawShadow(QPainter& p, const QRectF& plate, qreal radius) {
    p.setPen(Qt::NoPen);
    // Several widening, faint copies of the plate make a soft edge.
    for (int i = 5; i >= 0; --i) {
        p.setBrush(QColor(0, 0, 0, 14 + 6 * (5 - i)));
        p.drawRoundedRect(plate.translated(2.5, 3.5).adjusted(-i * 0.6, -i * 0.6, i * 0.6, i * 0.6),
                          radius + i * 0.6, radius + i * 0.6);
    }
}

void DrawArrowHead(QPainter& p, QPointF tip, qreal angleDegrees, qreal size) {
    QTransform t;
    t.translate(tip.x(), tip.y());
    t.rotate(angleDegrees);
    const QPolygonF head = t.map(QPolygonF({{0, 0}, {-size, -size * 0.7}, {-size, size * 0.7}}));
    p.drawPolygon(head);
}

void DrawGlyph(QPainter& p, const QRectF& g, Glyph glyph, const QColor& c) {
    const qreal s = g.width();
    const QPointF mid = g.center();
    QPen pen(c, s * 0.13, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    switch (glyph) {
        case Glyph::LeftArrow:
            p.drawPolygon(QPolygonF({{g.left(), mid.y()},
                                     {g.right(), g.top() + s * 0.1},
                                     {g.right(), g.bottom() - s * 0.1}}));
            break;
        case Glyph::UpTriangle:
            p.drawPolygon(QPolygonF({{mid.x(), g.top() + s * 0.08},
                                     {g.right(), g.bottom() - s * 0.1},
                                     {g.left(), g.bottom() - s * 0.1}}));
            break;
        case Glyph::DownTriangle:
            p.drawPolygon(QPolygonF({{g.left(), g.top() + s * 0.1},
                                     {g.right(), g.top() + s * 0.1},
                                     {mid.x(), g.bottom() - s * 0.08}}));
            break;
        case Glyph::Chain: {
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.save();
            p.translate(mid);
            p.rotate(-45);
            const QRectF link(-s * 0.5, -s * 0.19, s * 0.56, s * 0.38);
            p.drawRoundedRect(link, s * 0.18, s * 0.18);
            p.drawRoundedRect(link.translated(s * 0.44, 0), s * 0.18, s * 0.18);
            p.restore();
            break;
        }
        case Glyph::CircleArrows: {
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            const QRectF ring = g.adjusted(s * 0.14, s * 0.14, -s * 0.14, -s * 0.14);
            p.drawArc(ring, 20 * 16, 140 * 16);
            p.drawArc(ring, 200 * 16, 140 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            const qreal r = ring.width() / 2;
            DrawArrowHead(p, mid + QPointF(-r * 0.94, -r * 0.34) + QPointF(0, s * 0.12), 90,
                          s * 0.2);
            DrawArrowHead(p, mid + QPointF(r * 0.94, r * 0.34) - QPointF(0, s * 0.12), -90,
                          s * 0.2);
            break;
        }
        case Glyph::Info:
        case Glyph::Question: {
            p.drawEllipse(g);
            QFont font("DejaVu Serif");
            font.setBold(true);
            font.setPixelSize(int(s * 0.72));
            p.setFont(font);
            p.setPen(Qt::white);
            p.drawText(g, Qt::AlignCenter, glyph == Glyph::Info ? "i" : "?");
            break;
        }
    }
}

QFont CaptionFont(const QString& caption, qreal maxWidth, int startPixels) {
    QFont font("DejaVu Sans");
    font.setBold(true);
    for (int px = startPixels; px > 6; --px) {
        font.setPixelSize(px);
        if (QFontMetricsF(font).horizontalAdvance(caption) <= maxWidth) break;
    }
    return font;
}

void DrawNote(QPainter& p, QPointF base, qreal size, const QColor& c) {
    // Two beamed quavers, heads at the bottom left.
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    const qreal head = size * 0.34;
    const qreal gap = size * 0.5;
    for (int i = 0; i < 2; ++i) {
        p.save();
        p.translate(base + QPointF(i * gap, -i * size * 0.1));
        p.rotate(-22);
        p.drawEllipse(QRectF(-head * 0.62, -head * 0.42, head * 1.24, head * 0.84));
        p.restore();
    }
    const qreal stem = size * 0.07;
    const QPointF top1 = base + QPointF(head * 0.5, -size * 0.95);
    const QPointF top2 = top1 + QPointF(gap, -size * 0.1);
    p.drawRect(QRectF(top1.x() - stem, top1.y(), stem, size * 0.95));
    p.drawRect(QRectF(top2.x() - stem, top2.y(), stem, size * 0.95));
    p.drawPolygon(QPolygonF({top1 - QPointF(stem, 0), top2, top2 + QPointF(0, size * 0.2),
                             top1 + QPointF(-stem, size * 0.2)}));
}

}  // namespace

QImage DrawFace(int width, int height, Glyph glyph, const QColor& glyphColour,
                const QString& caption) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QRectF plate(3, 2, width - 10, height - 10);
    const qreal radius = plate.height() * 0.24;
    DrawShadow(p, plate, radius);

    QLinearGradient shade(plate.topLeft(), plate.bottomLeft());
    shade.setColorAt(0, kPlate.lighter(108));
    shade.setColorAt(0.5, kPlate);
    shade.setColorAt(1, kPlate.darker(106));
    p.setPen(QPen(kPlateEdge, 1.5));
    p.setBrush(shade);
    p.drawRoundedRect(plate, radius, radius);

    const qreal glyphSize = plate.height() * 0.52;
    const QRectF glyphRect(plate.left() + plate.height() * 0.26, plate.center().y() - glyphSize / 2,
                           glyphSize, glyphSize);
    DrawGlyph(p, glyphRect, glyph, glyphColour);

    const QRectF textRect(glyphRect.right() + plate.height() * 0.16, plate.top(),
                          plate.right() - glyphRect.right() - plate.height() * 0.3, plate.height());
    p.setFont(CaptionFont(caption, textRect.width(), int(height * 0.3)));
    p.setPen(kCaption);
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, caption);
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage DrawSplash() {
    QImage image(610, 289, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 289);
    sky.setColorAt(0, QColor(58, 118, 206));
    sky.setColorAt(1, QColor(14, 48, 124));
    p.fillRect(image.rect(), sky);
    p.fillRect(QRect(0, 265, 610, 24), QColor(204, 224, 244));
    p.fillRect(QRect(0, 263, 610, 2), QColor(240, 248, 255));

    // The white tab: round at the left, pointed at the right.
    QPainterPath tab;
    tab.moveTo(90, 84);
    tab.lineTo(510, 84);
    tab.lineTo(560, 139);
    tab.lineTo(510, 194);
    tab.lineTo(90, 194);
    tab.arcTo(QRectF(35, 84, 110, 110), 270, -180);
    tab.closeSubpath();
    p.fillPath(tab.translated(4, 5), QColor(0, 0, 40, 70));
    p.fillPath(tab, Qt::white);

    const QColor darkBlue(18, 38, 118);
    DrawNote(p, QPointF(82, 165), 64, darkBlue);
    QFont font("DejaVu Sans");
    font.setBold(true);
    font.setPixelSize(72);
    p.setFont(font);
    p.setPen(darkBlue);
    p.drawText(QRectF(160, 84, 280, 110), Qt::AlignLeft | Qt::AlignVCenter, "Velnor");
    p.setPen(QPen(QColor(52, 108, 204), 9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (int i = 0; i < 3; ++i) {
        const qreal x = 446 + i * 22;
        p.drawPolyline(QPolygonF({{x, 118}, {x + 16, 139}, {x, 160}}));
    }
    return image.convertToFormat(QImage::Format_RGB888);
}

QImage DrawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(size * 0.04, size * 0.04, size * 0.92, size * 0.92);
    QLinearGradient sky(box.topLeft(), box.bottomLeft());
    sky.setColorAt(0, QColor(70, 134, 222));
    sky.setColorAt(1, QColor(16, 52, 132));
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRoundedRect(box, size * 0.2, size * 0.2);
    DrawNote(p, QPointF(size * 0.34, size * 0.74), size * 0.5, Qt::white);
    return image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace pictures
