#include "ui/MenuBarIconArt.h"

#include <algorithm>
#include <cmath>

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPathStroker>
#include <QTransform>

namespace dz::MenuBarIconArt {
namespace {

// The anvil is given with the origin at the bottom left.
QPointF up(qreal x, qreal y) {
    return {x, canvas - y};
}

QPainterPath anvil() {
    QPainterPath p;
    p.moveTo(up(0.2, 14.7));
    p.cubicTo(up(0.6, 15.2), up(1.2, 15.5), up(2.0, 15.5));
    p.lineTo(up(17.6, 15.5));
    p.lineTo(up(17.6, 12.4));
    p.lineTo(up(13.4, 12.4));
    p.cubicTo(up(11.8, 11.6), up(11.4, 9.6), up(11.4, 7.8));
    p.lineTo(up(14.6, 4.9));
    p.lineTo(up(14.6, 2.6));
    p.lineTo(up(4.4, 2.6));
    p.lineTo(up(4.4, 4.9));
    p.lineTo(up(7.6, 7.8));
    p.cubicTo(up(7.6, 9.6), up(7.4, 10.8), up(7.0, 11.6));
    p.cubicTo(up(4.6, 12.0), up(2.0, 13.2), up(0.2, 14.7));
    p.closeSubpath();
    return p;
}

QPainterPath monogram() {
    QPainterPath p;
    p.setFillRule(Qt::OddEvenFill);
    p.addRoundedRect(QRectF(1.5, 1.5, 15, 15), 4, 4);
    // 12.5 canvas units, whatever the screen's resolution: laid out ten
    // times larger in pixels, then scaled down.
    QFont font;
    font.setPixelSize(125);
    font.setWeight(QFont::Black);
    QPainterPath large;
    large.addText(0, 0, font, QStringLiteral("D"));
    const QPainterPath letter = QTransform::fromScale(0.1, 0.1).map(large);
    // Centre the letter's outline on the canvas, nudged as the drawing rules say.
    const QRectF box = letter.boundingRect();
    const qreal x = canvas / 2 - box.width() / 2 + 0.3 - box.left();
    const qreal y = canvas / 2 - box.height() / 2 - 0.2 - box.top();
    p.addPath(letter.translated(x, y));
    return p;
}

// A four-pointed star with concave sides.
QPainterPath star(QPointF c, qreal r) {
    const qreal k = r * 0.18;
    QPainterPath p;
    p.moveTo(c.x(), c.y() - r);
    p.quadTo(c.x() + k, c.y() - k, c.x() + r, c.y());
    p.quadTo(c.x() + k, c.y() + k, c.x(), c.y() + r);
    p.quadTo(c.x() - k, c.y() + k, c.x() - r, c.y());
    p.quadTo(c.x() - k, c.y() - k, c.x(), c.y() - r);
    p.closeSubpath();
    return p;
}

QPainterPath stroke(const QPainterPath& line, qreal width) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(line);
}

QPainterPath hammer() {
    // Drawn upright, then tilted so the head sits top left.
    QPainterPath p;
    p.addRoundedRect(QRectF(7.9, 6.0, 2.2, 11.2), 1.1, 1.1);
    QPainterPath head;
    head.addRoundedRect(QRectF(3.2, 1.6, 11.8, 4.6), 1.0, 1.0);
    QPainterPath face;
    face.addRoundedRect(QRectF(1.4, 2.2, 2.4, 3.4), 0.6, 0.6);
    p = p.united(head).united(face);
    QTransform t;
    t.rotate(-40);
    p = t.map(p);
    // Fit the tilted shape back into the canvas with a small margin.
    const QRectF box = p.boundingRect();
    const qreal scale = std::min(16.4 / box.width(), 16.4 / box.height());
    QTransform fit;
    fit.translate(canvas / 2, canvas / 2);
    fit.scale(scale, scale);
    fit.translate(-box.center().x(), -box.center().y());
    return fit.map(p);
}

QPainterPath clipboard() {
    QPainterPath board;
    board.addRoundedRect(QRectF(2.8, 2.6, 12.4, 14.6), 2.0, 2.0);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(6.0, 0.8, 6.0, 3.8), 1.2, 1.2);
    QPainterPath lines;
    for (qreal y : {7.6, 10.6, 13.6}) {
        lines.addEllipse(QPointF(6.0, y), 0.95, 0.95);
        lines.addRoundedRect(QRectF(8.0, y - 0.7, 5.0, 1.4), 0.7, 0.7);
    }
    QPainterPath gap;  // a notch between the clip and the board
    gap.addRoundedRect(QRectF(5.2, 3.8, 7.6, 1.4), 0.7, 0.7);
    return board.subtracted(gap).united(clip).subtracted(lines);
}

QPainterPath wand() {
    QPainterPath stick;
    stick.moveTo(2.4, 15.6);
    stick.lineTo(10.4, 7.6);
    QPainterPath p = stroke(stick, 2.4);
    p = p.united(star({13.4, 4.6}, 3.8));
    p = p.united(star({5.8, 3.4}, 2.0));
    p = p.united(star({15.2, 11.6}, 2.0));
    return p;
}

QPainterPath sparkles() {
    QPainterPath p = star({7.6, 10.2}, 7.0);
    p = p.united(star({14.6, 3.6}, 3.0));
    p = p.united(star({14.8, 14.6}, 2.2));
    return p;
}

}  // namespace

QPainterPath path(MenuBarIcon icon) {
    switch (icon) {
        case MenuBarIcon::hammer:
            return hammer();
        case MenuBarIcon::anvil:
            return anvil();
        case MenuBarIcon::monogram:
            return monogram();
        case MenuBarIcon::clipboard:
            return clipboard();
        case MenuBarIcon::wand:
            return wand();
        case MenuBarIcon::sparkles:
            return sparkles();
    }
    return hammer();
}

QPixmap pixmap(MenuBarIcon icon, QColor color, bool dimmed, int size, qreal devicePixelRatio) {
    QPixmap pm(QSize(size, size) * devicePixelRatio);
    pm.setDevicePixelRatio(devicePixelRatio);
    pm.fill(Qt::transparent);
    QPainter painter(&pm);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / canvas, size / canvas);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    if (dimmed)
        painter.setOpacity(dimmedOpacity);
    painter.drawPath(path(icon));
    return pm;
}

QIcon icon(MenuBarIcon icon, QColor color, bool dimmed) {
    QIcon result;
    for (int size : {16, 18, 22, 24, 32, 48, 64}) result.addPixmap(pixmap(icon, color, dimmed, size));
    return result;
}

QString symbolicName(MenuBarIcon icon) {
    return QStringLiteral("dozuzavuvu-") + QString::fromUtf8(menubaricon::rawValue(icon)) +
           QStringLiteral("-symbolic");
}

QString symbolicSVG(MenuBarIcon icon) {
    const QPainterPath outline = path(icon);
    auto number = [](qreal v) { return QString::number(v, 'f', 3); };
    QString data;
    for (int i = 0; i < outline.elementCount(); ++i) {
        const QPainterPath::Element e = outline.elementAt(i);
        switch (e.type) {
            case QPainterPath::MoveToElement:
                data += QStringLiteral("M") + number(e.x) + ' ' + number(e.y);
                break;
            case QPainterPath::LineToElement:
                data += QStringLiteral("L") + number(e.x) + ' ' + number(e.y);
                break;
            case QPainterPath::CurveToElement:
                data += QStringLiteral("C") + number(e.x) + ' ' + number(e.y);
                break;
            case QPainterPath::CurveToDataElement:
                data += ' ' + number(e.x) + ' ' + number(e.y);
                break;
        }
    }
    // Symbolic icons are one flat grey shape; hosts repaint it in their colour.
    return QStringLiteral(
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" "
               "viewBox=\"0 0 18 18\">\n  <path fill=\"#2e3436\" fill-rule=\"evenodd\" d=\"") +
           data + QStringLiteral("Z\"/>\n</svg>\n");
}

QIcon applicationIcon() {
    QIcon result;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter painter(&pm);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 24.0, size / 24.0);
        QLinearGradient gradient(0, 0, 0, 24);
        gradient.setColorAt(0, QColor(0x3d, 0x7b, 0xd9));
        gradient.setColorAt(1, QColor(0x24, 0x4f, 0xa6));
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        painter.drawRoundedRect(QRectF(1, 1, 22, 22), 5, 5);
        painter.translate(3, 3.4);
        painter.setBrush(Qt::white);
        painter.drawPath(anvil());
        painter.end();
        result.addPixmap(pm);
    }
    return result;
}

}  // namespace dz::MenuBarIconArt
