#include "map_buttons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace quadrel {

namespace {

const QColor Ink(0x30, 0x36, 0x40);
const QColor Lens(0xd6, 0xe9, 0xf8);
const QColor Red(0xd0, 0x21, 0x21);

void DrawMagnifier(QPainter& p) {
    p.setPen(QPen(Ink, 1.6));
    p.setBrush(Lens);
    p.drawEllipse(QPointF(6.5, 6.5), 4.8, 4.8);
    p.setPen(QPen(Ink, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10.2, 10.2), QPointF(14.3, 14.3));
}

void DrawArrowHead(QPainter& p, QPointF Tip, QPointF Dir) {
    const QPointF n(-Dir.y(), Dir.x());
    QPolygonF head;
    head << Tip << Tip - Dir * 3.2 + n * 2.6 << Tip - Dir * 3.2 - n * 2.6;
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawPolygon(head);
}

void Draw(QPainter& p, TMapButton b) {
    p.setRenderHint(QPainter::Antialiasing);
    switch (b) {
    case TMapButton::ZoomAll: {
        // A map sheet with its four corners pushed outwards.
        p.setPen(QPen(Ink, 1.2));
        p.setBrush(Lens);
        p.drawRect(QRectF(4.5, 4.5, 7, 7));
        p.setPen(QPen(Ink, 1.6, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        const qreal a = 1.5, b2 = 5.0, e = 14.5;
        for (const auto& corner :
             {QPolygonF{{a, b2}, {a, a}, {b2, a}}, QPolygonF{{e - 3.5, a}, {e, a}, {e, b2}},
              QPolygonF{{e, e - 3.5}, {e, e}, {e - 3.5, e}},
              QPolygonF{{b2, e}, {a, e}, {a, e - 3.5}}})
            p.drawPolyline(corner);
        break;
    }
    case TMapButton::ZoomIn:
    case TMapButton::ZoomOut:
        DrawMagnifier(p);
        p.setPen(QPen(Ink, 1.6));
        p.drawLine(QPointF(4.0, 6.5), QPointF(9.0, 6.5));
        if (b == TMapButton::ZoomIn)
            p.drawLine(QPointF(6.5, 4.0), QPointF(6.5, 9.0));
        break;
    case TMapButton::Pan: {
        p.setPen(QPen(Ink, 1.6));
        p.drawLine(QPointF(8, 3), QPointF(8, 13));
        p.drawLine(QPointF(3, 8), QPointF(13, 8));
        DrawArrowHead(p, {8, 0.8}, {0, -1});
        DrawArrowHead(p, {8, 15.2}, {0, 1});
        DrawArrowHead(p, {0.8, 8}, {-1, 0});
        DrawArrowHead(p, {15.2, 8}, {1, 0});
        break;
    }
    case TMapButton::SelectArea: {
        // The extent rectangle between two clicked corners.
        QPen dashed(Red, 1.3, Qt::CustomDashLine);
        dashed.setDashPattern({2.0, 1.5});
        p.setPen(dashed);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(2.5, 3.5, 11, 9));
        p.setPen(QPen(Ink, 1.0));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(0.5, 1.5, 4, 4));
        p.drawRect(QRectF(11.5, 10.5, 4, 4));
        break;
    }
    }
}

} // namespace

QIcon MapButtonIcon(TMapButton Button) {
    QIcon icon;
    for (qreal ratio : {1.0, 2.0}) {
        QPixmap pm(QSize(16, 16) * ratio);
        pm.setDevicePixelRatio(ratio);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        Draw(p, Button);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace quadrel
