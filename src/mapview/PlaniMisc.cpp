#include "PlaniMisc.h"

#include <QApplication>
#include <QBitmap>
#include <QMessageBox>
#include <QPainter>
#include <QPen>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <limits>

namespace plani {

QColor ColorToQColor(TColor c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

TColor QColorToColor(const QColor& c) {
    return static_cast<TColor>(c.red()) | (static_cast<TColor>(c.green()) << 8) |
           (static_cast<TColor>(c.blue()) << 16);
}

double MetresPerUnitOf(TMapUnits u) {
    static const double table[] = {1.0,     1000.0,   1609.344, 1852.0, 0.3048,
                                   0.91439, 111195.0, 0.0254,   1.0,    -1.0};
    return u <= muNone ? table[u] : -1.0;
}

// --- Records ------------------------------------------------------------------------------

void TObjectInfo::WriteTo(TStream& s) const {
    s.WriteByte(ObjectType);
    s.WriteInt16(SubType);
    s.WriteByte(DeletedFlag ? 1 : 0);
    s.WriteValue(Centroid);
    s.WriteValue(Extents);
    s.WriteValue(Style);
}

void TObjectInfo::ReadFrom(TStream& s) {
    uint8_t b[ByteSize];
    s.ReadBuffer(b, ByteSize);
    ObjectType = static_cast<TObjectType>(b[0]);
    std::memcpy(&SubType, b + 1, 2);
    DeletedFlag = b[3] != 0;
    std::memcpy(&Centroid, b + 4, 16);
    std::memcpy(&Extents, b + 20, 32);
    std::memcpy(&Style, b + 52, 12);
}

void TTextInfo::WriteTo(TStream& s) const {
    s.WriteBuffer(Text, sizeof Text);
    s.WriteValue(InsertionPoint);
    s.WriteDouble(Width);
    s.WriteDouble(Height);
    s.WriteSingle(Angle);
    s.WriteBuffer(FontName, sizeof FontName);
    s.WriteInt16(FontSize);
    s.WriteByte(FontStyle);
}

void TTextInfo::ReadFrom(TStream& s) {
    uint8_t b[ByteSize];
    s.ReadBuffer(b, ByteSize);
    std::memcpy(Text, b, 255);
    Text[254] = 0;
    std::memcpy(&InsertionPoint, b + 255, 16);
    std::memcpy(&Width, b + 271, 8);
    std::memcpy(&Height, b + 279, 8);
    std::memcpy(&Angle, b + 287, 4);
    std::memcpy(FontName, b + 291, 33);
    FontName[32] = 0;
    std::memcpy(&FontSize, b + 324, 2);
    FontStyle = b[326];
}

// --- Helpers ------------------------------------------------------------------------------

TFloatPoint FloatPoint(double X, double Y) {
    return {X, Y};
}

TFloatRect FloatRect(double Left, double Top, double Right, double Bottom) {
    return NormalizeFloatRect({Left, Top, Right, Bottom});
}

TFloatRect FloatRectFromPoints(const TFloatPoint& P, const TFloatPoint& Q) {
    return FloatRect(P.X, P.Y, Q.X, Q.Y);
}

TFloatRect NormalizeFloatRect(const TFloatRect& R) {
    TFloatRect r = R;
    if (r.Left > r.Right)
        std::swap(r.Left, r.Right);
    if (r.Bottom > r.Top)
        std::swap(r.Top, r.Bottom);
    return r;
}

TFloatRect EmptyFloatRect() {
    return {};
}

bool IsEmptyFloatRect(const TFloatRect& R) {
    return R.Left == 0 && R.Top == 0 && R.Right == 0 && R.Bottom == 0;
}

TFloatPoint AddFloatPoints(const TFloatPoint& P, const TFloatPoint& Q) {
    return {P.X + Q.X, P.Y + Q.Y};
}
TFloatPoint FloatPointDelta(const TFloatPoint& P, const TFloatPoint& Q) {
    return {Q.X - P.X, Q.Y - P.Y};
}
TFloatPoint ScaleFloatPoint(const TFloatPoint& P, double k) {
    return {P.X * k, P.Y * k};
}
double FloatPointLength(const TFloatPoint& P) {
    return std::sqrt(P.X * P.X + P.Y * P.Y);
}
double FloatPointDistance(const TFloatPoint& P, const TFloatPoint& Q) {
    return FloatPointLength(FloatPointDelta(P, Q));
}
bool FloatPointsEqual(const TFloatPoint& P, const TFloatPoint& Q) {
    return P.X == Q.X && P.Y == Q.Y;
}
bool PointExceeds(const TFloatPoint& P, const TFloatPoint& Q) {
    return P.X > Q.X || P.Y > Q.Y;
}

TFloatRect UnionFloatRect(const TFloatRect& A, const TFloatRect& B) {
    return {std::min(A.Left, B.Left), std::max(A.Top, B.Top), std::max(A.Right, B.Right),
            std::min(A.Bottom, B.Bottom)};
}

TFloatRect ExtendFloatRect(const TFloatRect& R, const TFloatPoint& P) {
    if (IsEmptyFloatRect(R))
        return {P.X, P.Y, P.X, P.Y};
    return {std::min(R.Left, P.X), std::max(R.Top, P.Y), std::max(R.Right, P.X),
            std::min(R.Bottom, P.Y)};
}

TFloatRect ExtendFloatRectByRect(const TFloatRect& R, const TFloatRect& S) {
    return ExtendFloatRect(ExtendFloatRect(R, S.TopLeft()), S.BottomRight());
}

TFloatRect OffsetFloatRect(const TFloatRect& R, const TFloatPoint& P) {
    return {R.Left + P.X, R.Top + P.Y, R.Right + P.X, R.Bottom + P.Y};
}

TFloatPoint FloatRectSize(const TFloatRect& R) {
    return {std::abs(R.Right - R.Left), std::abs(R.Top - R.Bottom)};
}
TFloatPoint FloatRectCentre(const TFloatRect& R) {
    return {(R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2};
}

bool PointInFloatRect(const TFloatPoint& P, const TFloatRect& R) {
    return R.Left <= P.X && P.X <= R.Right && R.Bottom <= P.Y && P.Y <= R.Top;
}

bool FloatRectsOverlap(const TFloatRect& A, const TFloatRect& B) {
    return A.Left <= B.Right && A.Right >= B.Left && A.Bottom <= B.Top && A.Top >= B.Bottom;
}

bool FloatRectsIntersect(const TFloatRect& A, const TFloatRect& B) {
    return FloatRectsOverlap(NormalizeFloatRect(A), NormalizeFloatRect(B));
}

bool FloatRectWithin(const TFloatRect& A, const TFloatRect& B) {
    return A.Left >= B.Left && A.Right <= B.Right && A.Top <= B.Top && A.Bottom >= B.Bottom;
}

bool FloatRectsShareEdge(const TFloatRect& A, const TFloatRect& B) {
    return A.Left == B.Left || A.Top == B.Top || A.Right == B.Right || A.Bottom == B.Bottom;
}

bool PanToContain(const TFloatRect& View, const TFloatRect& Target, TFloatPoint& Shift) {
    TFloatPoint vs = FloatRectSize(View), ts = FloatRectSize(Target);
    if (ts.X > vs.X || ts.Y > vs.Y)
        return false;
    Shift = {0, 0};
    if (View.Left > Target.Left)
        Shift.X = Target.Left - View.Left;
    if (Target.Right > View.Right)
        Shift.X = Target.Right - View.Right;
    if (View.Bottom > Target.Bottom)
        Shift.Y = Target.Bottom - View.Bottom;
    if (Target.Top > View.Top)
        Shift.Y = Target.Top - View.Top;
    return true;
}

TFloatRect FitRectToDevice(const TFloatRect& W, const TRect& D) {
    const double dw = std::abs(static_cast<int64_t>(D.Right) - D.Left);
    const double dh = std::abs(static_cast<int64_t>(D.Bottom) - D.Top);
    TFloatRect r = W;
    if ((W.Right - W.Left) / dw > (W.Top - W.Bottom) / dh) {
        double h = (W.Right - W.Left) * (dh / dw);
        r.Bottom = W.Bottom + ((W.Top - W.Bottom) - h) / 2;
        r.Top = r.Bottom + h;
    } else {
        double w = (W.Top - W.Bottom) * (dw / dh);
        r.Left = W.Left + ((W.Right - W.Left) - w) / 2;
        r.Right = r.Left + w;
    }
    return r;
}

static int32_t ClampRound32760(double v) {
    if (std::isnan(v))
        return 0;
    v = std::clamp(v, -32760.0, 32760.0);
    return static_cast<int32_t>(std::nearbyint(v));
}

int32_t MapToDeviceX(double w0, double w1, double d0, double d1, double v) {
    return ClampRound32760((v - w0) * ((d1 - d0) / (w1 - w0)) + d0);
}

int32_t MapToDeviceY(double w0, double w1, double d0, double d1, double v) {
    return ClampRound32760(d0 - (v - w0) * ((d0 - d1) / (w1 - w0)));
}

double GreatCircleDistance(const TFloatPoint& P, const TFloatPoint& Q, double Radius,
                           bool ClampLatitudes, double ToRadians) {
    double x1 = P.X * ToRadians, y1 = P.Y * ToRadians, x2 = Q.X * ToRadians, y2 = Q.Y * ToRadians;
    if (ClampLatitudes) {
        const double half = 1.5707963267948966;
        y1 = std::clamp(y1, -half, half);
        y2 = std::clamp(y2, -half, half);
    }
    double sy = std::sin((y2 - y1) / 2), sx = std::sin((x2 - x1) / 2);
    return Radius * 2 * std::asin(std::sqrt(sy * sy + std::cos(y1) * std::cos(y2) * sx * sx));
}

int32_t RoundToInt32(double v) {
    // nearbyint rounds in the default mode, to nearest with ties to even.
    double r = std::nearbyint(v);
    if (std::isnan(r))
        return std::numeric_limits<int32_t>::min(); // the "integer indefinite" of x86
    if (r > 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (r < -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

// --- Transform ----------------------------------------------------------------------------

TWDTransform::TWDTransform(const TFloatRect& W, const TRect& D) {
    // Device differences are integers first, as the device rectangle is.
    xscale1_ = static_cast<double>(static_cast<int64_t>(D.Right) - D.Left) / (W.Right - W.Left);
    yscale1_ = static_cast<double>(static_cast<int64_t>(D.Bottom) - D.Top) / (W.Bottom - W.Top);
    dx1_ = -xscale1_ * W.Left + D.Left;
    dy1_ = -yscale1_ * W.Top + D.Top;
    xscale2_ = 1 / xscale1_;
    yscale2_ = 1 / yscale1_;
    dx2_ = -dx1_ / xscale1_;
    dy2_ = -dy1_ / yscale1_;
}

TRect TWDTransform::WorldToDevice(const TFloatRect& Rec) const {
    return {WorldtoDeviceX(Rec.Left), WorldtoDeviceY(Rec.Top), WorldtoDeviceX(Rec.Right),
            WorldtoDeviceY(Rec.Bottom)};
}

double TWDTransform::WorldToDeviceRealY(double y) const {
    return std::nearbyint(y * yscale1_ + dy1_);
}

TFloatPoint TWDTransform::WorldToDeviceReal(const TFloatPoint& Pnt) const {
    return {WorldToDeviceRealX(Pnt.X), WorldToDeviceRealY(Pnt.Y)};
}

TFloatRect TWDTransform::WorldToDeviceReal(const TFloatRect& Rec) const {
    return {WorldToDeviceRealX(Rec.Left), WorldToDeviceRealY(Rec.Top),
            WorldToDeviceRealX(Rec.Right), WorldToDeviceRealY(Rec.Bottom)};
}

TFloatRect TWDTransform::DevicetoWorld(const TRect& Rec) const {
    return {DevicetoWorldX(Rec.Left), DevicetoWorldY(Rec.Top), DevicetoWorldX(Rec.Right),
            DevicetoWorldY(Rec.Bottom)};
}

double TWDTransform::DeviceToWorldXLen(int32_t x) const {
    return x * std::abs(xscale2_);
}
double TWDTransform::DeviceToWorldYLen(int32_t y) const {
    return y * std::abs(yscale2_);
}

// --- Styles -------------------------------------------------------------------------------

int PointsToPixels(int Dpi, double Points) {
    int px = RoundToInt32(Dpi * Points / 72.0);
    if (px == 0 && Points > 0)
        px = 1;
    return px;
}

int PointsToPixels(const QPainter& Canvas, double Points) {
    const QPaintDevice* dev = Canvas.device();
    return PointsToPixels(dev ? dev->logicalDpiX() : 96, Points);
}

Qt::PenStyle ToQtPenStyle(TPenStyle s) {
    switch (s) {
    case psDash:
        return Qt::DashLine;
    case psDot:
        return Qt::DotLine;
    case psDashDot:
        return Qt::DashDotLine;
    case psDashDotDot:
        return Qt::DashDotDotLine;
    case psClear:
        return Qt::NoPen;
    default:
        return Qt::SolidLine; // solid, inside-frame, user style, alternate
    }
}

Qt::BrushStyle ToQtBrushStyle(TBrushStyle s) {
    switch (s) {
    case bsSolid:
        return Qt::SolidPattern;
    case bsClear:
        return Qt::NoBrush;
    case bsHorizontal:
        return Qt::HorPattern;
    case bsVertical:
        return Qt::VerPattern;
    case bsFDiagonal:
        return Qt::FDiagPattern;
    case bsBDiagonal:
        return Qt::BDiagPattern;
    case bsCross:
        return Qt::CrossPattern;
    case bsDiagCross:
        return Qt::DiagCrossPattern;
    }
    return Qt::SolidPattern;
}

Qt::PenJoinStyle ToQtJoin(TLineJoin j) {
    return j == ljBevel ? Qt::BevelJoin : j == ljRound ? Qt::RoundJoin : Qt::MiterJoin;
}

Qt::PenCapStyle ToQtCap(TLineEndCap c) {
    return c == lecRound ? Qt::RoundCap : c == lecFlat ? Qt::FlatCap : Qt::SquareCap;
}

void TPlaniBrush::Assign(const TPlaniBrush& Source) {
    fstyle = Source.fstyle;
    fgcol = Source.fgcol;
    bgcol = Source.bgcol;
    ftransp = Source.ftransp;
}

void TPlaniBrush::WriteTo(TStream& s) const {
    s.WriteUInt32(fgcol);
    s.WriteUInt32(bgcol);
    s.WriteByte(fstyle);
    s.WriteByte(ftransp ? 1 : 0);
}

void TPlaniBrush::ReadFrom(TStream& s) {
    fgcol = s.ReadUInt32();
    bgcol = s.ReadUInt32();
    fstyle = static_cast<TBrushStyle>(s.ReadByte());
    ftransp = s.ReadByte() != 0;
}

void TPlaniBrush::WriteTo(TValueWriter& w) const {
    w.WriteInteger(fstyle);
    w.WriteInteger(fgcol);
    w.WriteInteger(bgcol);
    w.WriteBoolean(ftransp);
}

void TPlaniBrush::ReadFrom(TValueReader& r) {
    fstyle = static_cast<TBrushStyle>(r.ReadInteger());
    fgcol = static_cast<TColor>(r.ReadInteger());
    bgcol = static_cast<TColor>(r.ReadInteger());
    ftransp = r.ReadBoolean();
}

void TPlaniBrush::SetBrushHandle(QPainter& Canvas) const {
    Canvas.setBrush(QBrush(ColorToQColor(fgcol), ToQtBrushStyle(fstyle)));
    Canvas.setBackground(ColorToQColor(bgcol));
    Canvas.setBackgroundMode(ftransp ? Qt::TransparentMode : Qt::OpaqueMode);
}

void TPlaniPenLayer::Assign(const TPlaniPenLayer& Source) {
    fFGColor = Source.fFGColor;
    fBGColor = Source.fBGColor;
    fWidth = Source.fWidth;
    fStyle = Source.fStyle;
    ftransp = Source.ftransp;
}

void TPlaniPenLayer::WriteTo(TStream& s) const {
    s.WriteUInt32(fFGColor);
    s.WriteUInt32(fBGColor);
    s.WriteByte(fStyle);
    s.WriteSingle(fWidth);
    s.WriteByte(ftransp ? 1 : 0);
}

void TPlaniPenLayer::ReadFrom(TStream& s) {
    uint8_t rec[14];
    s.ReadBuffer(rec, sizeof rec);
    std::memcpy(&fFGColor, rec, 4);
    std::memcpy(&fBGColor, rec + 4, 4);
    fStyle = static_cast<TPenStyle>(rec[8]);
    std::memcpy(&fWidth, rec + 9, 4);
    ftransp = rec[13] != 0;
}

void TPlaniPenLayer::WriteTo(TValueWriter& w) const {
    w.WriteFloat(fWidth);
    w.WriteInteger(fStyle);
    w.WriteInteger(fFGColor);
    w.WriteInteger(fBGColor);
    w.WriteBoolean(ftransp);
}

void TPlaniPenLayer::ReadFrom(TValueReader& r) {
    fWidth = static_cast<float>(r.ReadFloat());
    fStyle = static_cast<TPenStyle>(r.ReadInteger());
    fFGColor = static_cast<TColor>(r.ReadInteger());
    fBGColor = static_cast<TColor>(r.ReadInteger());
    ftransp = r.ReadBoolean();
}

void TPlaniPenLayer::SetPen(QPainter& Canvas, TColor Color, TPenStyle Style) const {
    if (Style == psClear) {
        Canvas.setPen(Qt::NoPen);
        return;
    }
    QPen pen(ColorToQColor(Color));
    pen.setWidth(PointsToPixels(Canvas, fWidth));
    pen.setStyle(ToQtPenStyle(Style));
    if (fOwner) {
        pen.setJoinStyle(ToQtJoin(fOwner->Joins()));
        pen.setCapStyle(ToQtCap(fOwner->EndCap()));
    }
    Canvas.setPen(pen);
}

void TPlaniPenLayer::SetFGPenHandle(QPainter& Canvas) const {
    SetPen(Canvas, fFGColor, fStyle);
}
void TPlaniPenLayer::SetBGPenHandle(QPainter& Canvas) const {
    SetPen(Canvas, fBGColor, psSolid);
}

TPlaniPen::TPlaniPen() {
    for (auto& l : fPenLayers)
        l = std::make_unique<TPlaniPenLayer>(this);
}

void TPlaniPen::Assign(const TPlaniPen& Source) {
    for (int i = 0; i < 3; ++i)
        fPenLayers[i]->Assign(*Source.fPenLayers[i]);
    nPenLayers = Source.nPenLayers;
    fJoins = Source.fJoins;
    fEndCap = Source.fEndCap;
}

void TPlaniPen::SetPenLayers(uint8_t v) {
    if (v > 3)
        throw ERangeError();
    nPenLayers = v;
}

TPlaniPenLayer& TPlaniPen::GetPenLayer(int index) const {
    if (index < 0 || index > 2)
        throw ERangeError();
    return *fPenLayers[index];
}

float TPlaniPen::Width() const {
    float w = fPenLayers[0]->Width();
    for (int i = 1; i < nPenLayers; ++i)
        w = std::max(w, GetPenLayer(i).Width());
    return w;
}

void TPlaniPen::WriteTo(TStream& s) const {
    if (nPenLayers > 3)
        throw ERangeError();
    s.WriteByte(nPenLayers);
    for (int i = 0; i < nPenLayers; ++i)
        GetPenLayer(i).WriteTo(s);
    s.WriteByte(fEndCap);
    s.WriteByte(fJoins);
}

// A count above 3 is refused before any layer changes, so a bad record never
// leaves a pen claiming more layers than it has.
void TPlaniPen::ReadFrom(TStream& s) {
    uint8_t count = s.ReadByte();
    if (count > 3)
        throw ERangeError();
    nPenLayers = count;
    for (int i = 0; i < count; ++i)
        GetPenLayer(i).ReadFrom(s);
    fEndCap = static_cast<TLineEndCap>(s.ReadByte());
    fJoins = static_cast<TLineJoin>(s.ReadByte());
}

void TPlaniPen::WriteTo(TValueWriter& w) const {
    if (nPenLayers > 3)
        throw ERangeError();
    w.WriteInteger(nPenLayers);
    for (int i = 0; i < nPenLayers; ++i)
        GetPenLayer(i).WriteTo(w);
    w.WriteInteger(fEndCap);
    w.WriteInteger(fJoins);
}

void TPlaniPen::ReadFrom(TValueReader& r) {
    int64_t count = r.ReadInteger();
    if (count < 0 || count > 3)
        throw ERangeError();
    nPenLayers = static_cast<uint8_t>(count);
    for (int i = 0; i < count; ++i)
        GetPenLayer(i).ReadFrom(r);
    fEndCap = static_cast<TLineEndCap>(r.ReadInteger());
    fJoins = static_cast<TLineJoin>(r.ReadInteger());
}

void DrawBitmap(QPainter& Canvas, const TRect& DestRect, const QImage& Bitmap, bool Transparent,
                TColor TransparentColor) {
    if (Bitmap.isNull() || DestRect.Width() <= 0 || DestRect.Height() <= 0)
        return;
    const QRect dest = ToQRect(DestRect);
    if (!Transparent) {
        Canvas.drawImage(dest, Bitmap);
        return;
    }
    // A work bitmap of the destination size; its pixels of the transparent colour
    // are left out of the clip region, the rest is drawn as for an opaque bitmap.
    QImage work = Bitmap.scaled(dest.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QImage mask = work.createMaskFromColor(ColorToQColor(TransparentColor).rgb(), Qt::MaskInColor);
    QRegion region(QBitmap::fromImage(mask));
    region.translate(dest.topLeft());
    Canvas.save();
    Canvas.setClipRegion(region, Canvas.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    Canvas.drawImage(dest.topLeft(), work);
    Canvas.restore();
}

// --- Messages -----------------------------------------------------------------------------

static TMessageHandler& MessageHandler() {
    static TMessageHandler handler;
    return handler;
}

TMessageHandler SetMessageHandler(TMessageHandler Handler) {
    TMessageHandler old = std::move(MessageHandler());
    MessageHandler() = std::move(Handler);
    return old;
}

void ShowToolkitMessage(const std::string& Text, TMessageKind Kind) {
    if (MessageHandler()) {
        MessageHandler()(Text, Kind);
        return;
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    QString text = QString::fromStdString(Text);
    if (Kind == mkError)
        QMessageBox::critical(nullptr, QApplication::applicationName(), text, QMessageBox::Ok);
    else
        QMessageBox::information(nullptr, QApplication::applicationName(), text, QMessageBox::Ok);
}

} // namespace plani
