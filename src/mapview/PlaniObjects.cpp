#include "PlaniObjects.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <cmath>

namespace plani {

void TSpatialObjE2::GetObjectInfo(TObjectInfo& Info) const {
    Info.ObjectType = ObjectType();
    Info.SubType = SubType();
    Info.DeletedFlag = false;
    Info.Centroid = Centroid();
    Info.Extents = Extents();
    Info.Style = Style;
}

TFloatRect TPolyLineSetD2::Extents() const {
    TFloatRect r;
    bool first = true;
    for (const auto& part : Parts)
        for (const auto& p : part.Points) {
            if (first) {
                r = {p.X, p.Y, p.X, p.Y};
                first = false;
            } else {
                r = {std::min(r.Left, p.X), std::max(r.Top, p.Y), std::max(r.Right, p.X),
                     std::min(r.Bottom, p.Y)};
            }
        }
    return r;
}

TFloatPoint TPolyLineSetD2::Centroid() const {
    double sumLen = 0, sx = 0, sy = 0;
    for (const auto& part : Parts)
        for (size_t i = 1; i < part.Points.size(); ++i) {
            const TFloatPoint& a = part.Points[i - 1];
            const TFloatPoint& b = part.Points[i];
            double len = FloatPointDistance(a, b);
            sumLen += len;
            sx += len * (a.X + b.X);
            sy += len * (a.Y + b.Y);
        }
    return {sx / (2 * sumLen), sy / (2 * sumLen)};
}

void TPolyLineSetD2::ReadParts(TStream& s) {
    std::vector<TPolyLineD2> parts;
    int32_t nParts = 0;
    if (s.Read(&nParts, 4) != 4 || nParts <= 0)
        throw Exception("Invalid extended data");
    for (int32_t i = 0; i < nParts; ++i) {
        int32_t n = 0;
        if (s.Read(&n, 4) != 4)
            throw Exception("Invalid extended data");
        if (n < 2)
            throw Exception("Must have at least 2 vertices");
        // Check the length before allocating, so a corrupt count cannot ask for gigabytes.
        if (s.Size() - s.Position() < static_cast<int64_t>(n) * 16)
            throw Exception("Invalid extended data");
        TPolyLineD2 part;
        part.Points.resize(static_cast<size_t>(n));
        s.ReadBuffer(part.Points.data(), static_cast<int64_t>(n) * 16);
        parts.push_back(std::move(part));
    }
    Parts = std::move(parts);
}

void TPolyLineSetD2::WriteParts(TStream& s) const {
    s.WriteInt32(static_cast<int32_t>(Parts.size()));
    for (const auto& part : Parts) {
        s.WriteInt32(static_cast<int32_t>(part.Points.size()));
        s.WriteBuffer(part.Points.data(), static_cast<int64_t>(part.Points.size()) * 16);
    }
}

void TPolyLineSetD2::WriteData(TStream& ed) const {
    WriteParts(ed);
}

void TPolyLineSetD2::DrawParts(QPainter& c, const TWDTransform& tr) const {
    thread_local std::vector<QPoint> pts;
    for (const auto& part : Parts) {
        pts.resize(part.Points.size());
        for (size_t i = 0; i < part.Points.size(); ++i)
            pts[i] =
                QPoint(tr.WorldtoDeviceX(part.Points[i].X), tr.WorldtoDeviceY(part.Points[i].Y));
        c.drawPolyline(pts.data(), static_cast<int>(pts.size()));
    }
}

void TPolyLineSetD2::Draw(QPainter& c, const TWDTransform& tr) {
    QPen pen(ColorToQColor(Style.PenColor));
    pen.setWidth(Style.PenWidth);
    pen.setStyle(ToQtPenStyle(Style.PenStyle));
    c.setPen(pen);
    DrawParts(c, tr);
}

void TPolyLineSetD2_PGF::WriteData(TStream& ed) const {
    WriteParts(ed);
    if (HasStreamPen)
        Pen.WriteTo(ed);
}

void TPolyLineSetD2_PGF::SetPenFromStyle(const TBasicObjectStyle& s) {
    Pen.SetPenLayers(1);
    TPlaniPenLayer& l = Pen.GetPenLayer(0);
    l.SetFGColor(s.PenColor);
    l.SetWidth(s.PenWidth);
    l.SetStyle(s.PenStyle);
    l.SetTransparent(true);
    HasStreamPen = false;
}

void TPolyLineSetD2_PGF::DrawPenLayer(QPainter& c, const TWDTransform& tr, int Layer) const {
    const TPlaniPenLayer& l = Pen.GetPenLayer(Layer);
    if (!l.Transparent()) {
        l.SetBGPenHandle(c);
        DrawParts(c, tr);
    }
    l.SetFGPenHandle(c);
    DrawParts(c, tr);
}

void TPolyLineSetD2_PGF::Draw(QPainter& c, const TWDTransform& tr) {
    for (int i = Pen.PenLayers() - 1; i >= 0; --i)
        DrawPenLayer(c, tr, i);
}

int TPolyLineSetD2_PGF::RedrawMargin() const {
    return static_cast<int>(std::nearbyint(Pen.Width())) / 2 + 2;
}

void TPolygonSetD2_PGF::Draw(QPainter& c, const TWDTransform& tr) {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    for (const auto& part : Parts) {
        if (part.Points.empty())
            continue;
        path.moveTo(tr.WorldtoDeviceX(part.Points[0].X), tr.WorldtoDeviceY(part.Points[0].Y));
        for (size_t i = 1; i < part.Points.size(); ++i)
            path.lineTo(tr.WorldtoDeviceX(part.Points[i].X), tr.WorldtoDeviceY(part.Points[i].Y));
        path.closeSubpath();
    }
    QPen pen(ColorToQColor(Style.PenColor));
    pen.setWidth(Style.PenWidth);
    pen.setStyle(ToQtPenStyle(Style.PenStyle));
    c.setPen(pen);
    c.setBrush(QBrush(ColorToQColor(Style.BrushColor), ToQtBrushStyle(Style.BrushStyle)));
    c.drawPath(path);
    c.setBrush(Qt::NoBrush);
}

TFloatPoint TPolygonSetD2_PGF::AreaCentroid() const {
    double a = 0, cx = 0, cy = 0;
    for (const auto& part : Parts) {
        const auto& p = part.Points;
        for (size_t i = 0; i < p.size(); ++i) {
            const TFloatPoint& u = p[i];
            const TFloatPoint& v = p[(i + 1) % p.size()];
            double cross = u.X * v.Y - v.X * u.Y;
            a += cross;
            cx += (u.X + v.X) * cross;
            cy += (u.Y + v.Y) * cross;
        }
    }
    if (a == 0)
        return TPolyLineSetD2::Centroid();
    return {cx / (3 * a), cy / (3 * a)};
}

} // namespace plani
