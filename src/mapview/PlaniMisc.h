#pragma once
// Ground floor of the map toolkit: world points and rectangles with their
// helpers, the world/device transform, the clamped mappings used by raster
// drawing, the drawing styles (brush, three-layer pen, font) and the small
// records that describe a graphic object. The value code here knows nothing
// of widgets; drawing goes through QPainter.

#include "PlaniStream.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QPainter;
class QPaintDevice;

namespace plani {

// Colours are carried as Windows colour values, 0x00BBGGRR.
using TColor = uint32_t;
QColor ColorToQColor(TColor c);
TColor QColorToColor(const QColor& c);

// World point; Y grows northward.
struct TFloatPoint {
    double X = 0.0;
    double Y = 0.0;
    double& Long() { return X; }
    double& Lat() { return Y; }
    double Long() const { return X; }
    double Lat() const { return Y; }
};

// World rectangle; normalised when Left <= Right and Bottom <= Top (Top is north).
struct TFloatRect {
    double Left = 0.0;
    double Top = 0.0;
    double Right = 0.0;
    double Bottom = 0.0;
    TFloatPoint TopLeft() const { return {Left, Top}; }
    TFloatPoint BottomRight() const { return {Right, Bottom}; }
    void SetTopLeft(const TFloatPoint& p) { Left = p.X, Top = p.Y; }
    void SetBottomRight(const TFloatPoint& p) { Right = p.X, Bottom = p.Y; }
};

// Device point and rectangle; Y grows downward, Right and Bottom are exclusive edges.
struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;
};
struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    int32_t Width() const { return Right - Left; }
    int32_t Height() const { return Bottom - Top; }
};
inline bool operator==(const TFloatPoint& a, const TFloatPoint& b) {
    return a.X == b.X && a.Y == b.Y;
}
inline bool operator==(const TFloatRect& a, const TFloatRect& b) {
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}
inline bool operator==(const TPoint& a, const TPoint& b) {
    return a.X == b.X && a.Y == b.Y;
}
inline bool operator==(const TRect& a, const TRect& b) {
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}
inline QRect ToQRect(const TRect& r) {
    return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}
inline TRect FromQRect(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

enum TMapUnits : uint8_t {
    muMetres,
    muKm,
    muMiles,
    muNauMiles,
    muFeet,
    muYards,
    muDegrees,
    muInches,
    muCustom,
    muNone
};
// Metres per unit; muCustom gives 1.0 (never taken), muNone -1.0.
double MetresPerUnitOf(TMapUnits u);

enum THorizAlignment : uint8_t { haLeft, haCenter, haRight };
enum TVertAlignment : uint8_t { vaTop, vaCenter, vaBottom, vaBaseline };
enum TLineJoin : uint8_t { ljBevel, ljMiter, ljRound };
enum TLineEndCap : uint8_t { lecSquare, lecRound, lecFlat };
enum TPlaniFontStyle : uint8_t { efsOutline, efsShadow };
using TPlaniFontStyles = uint8_t; // a set: bit (1 << TPlaniFontStyle)
enum TObjectType : uint8_t {
    otPolygon,
    otPolyline,
    otText,
    otPoint,
    otEllipse,
    otPolyBezierCurve,
    otScalableSymbol,
    otIsoRectRgn
};
enum TPenStyle : uint8_t {
    psSolid,
    psDash,
    psDot,
    psDashDot,
    psDashDotDot,
    psClear,
    psInsideFrame,
    psUserStyle,
    psAlternate
};
enum TPenMode : uint8_t {
    pmBlack,
    pmWhite,
    pmNop,
    pmNot,
    pmCopy,
    pmNotCopy,
    pmMergePenNot,
    pmMaskPenNot,
    pmMergeNotPen,
    pmMaskNotPen,
    pmMerge,
    pmNotMerge,
    pmMask,
    pmNotMask,
    pmXor,
    pmNotXor
};
enum TBrushStyle : uint8_t {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};

// Records with only byte-sized and 32-bit fields are stored as they lie in
// memory (packed); records holding doubles at odd offsets are ordinary structs
// with an explicit writer and reader of their byte layout.
#pragma pack(push, 1)
// 12 bytes: PenColor at 0, PenMode 4, PenWidth 5, PenStyle 6, BrushColor 7, BrushStyle 11.
struct TBasicObjectStyle {
    TColor PenColor = 0;
    TPenMode PenMode = pmCopy;
    uint8_t PenWidth = 1;
    TPenStyle PenStyle = psSolid;
    TColor BrushColor = 0xFFFFFF;
    TBrushStyle BrushStyle = bsSolid;
};
// 4 bytes.
struct TPointInfo {
    int16_t Shape = 0;
    int16_t Size = 0;
};
#pragma pack(pop)
static_assert(sizeof(TBasicObjectStyle) == 12 && offsetof(TBasicObjectStyle, BrushColor) == 7);
static_assert(sizeof(TPointInfo) == 4);

// 64 bytes: ObjectType at 0, SubType 1, DeletedFlag 3, Centroid 4, Extents 20, Style 52.
struct TObjectInfo {
    static constexpr int ByteSize = 64;
    TObjectType ObjectType = otPolygon;
    int16_t SubType = 0;
    bool DeletedFlag = false;
    TFloatPoint Centroid;
    TFloatRect Extents;
    TBasicObjectStyle Style;
    void WriteTo(TStream& s) const;
    void ReadFrom(TStream& s);
};

// 327 bytes: Text (zero-terminated) at 0, InsertionPoint 255, Width 271, Height 279,
// Angle (single) 287, FontName 291, FontSize 324, FontStyle 326.
struct TTextInfo {
    static constexpr int ByteSize = 327;
    char Text[255] = {};
    TFloatPoint InsertionPoint;
    double Width = 0.0;
    double Height = 0.0;
    float Angle = 0.0f;
    char FontName[33] = {};
    int16_t FontSize = 0;
    uint8_t FontStyle = 0; // bit 0 bold, 1 italic, 2 underline, 3 strike-out
    void WriteTo(TStream& s) const;
    // EReadError when fewer than 327 bytes are left.
    void ReadFrom(TStream& s);
};

// --- World point and rectangle helpers -------------------------------------------------

TFloatPoint FloatPoint(double X, double Y);
TFloatRect FloatRect(double Left, double Top, double Right, double Bottom); // normalised
TFloatRect FloatRectFromPoints(const TFloatPoint& P, const TFloatPoint& Q); // normalised
TFloatRect NormalizeFloatRect(const TFloatRect& R);
TFloatRect EmptyFloatRect();
bool IsEmptyFloatRect(const TFloatRect& R); // all four exactly 0: the marker for no extent
TFloatPoint AddFloatPoints(const TFloatPoint& P, const TFloatPoint& Q);
TFloatPoint FloatPointDelta(const TFloatPoint& P, const TFloatPoint& Q); // Q - P
TFloatPoint ScaleFloatPoint(const TFloatPoint& P, double k);
double FloatPointLength(const TFloatPoint& P);
double FloatPointDistance(const TFloatPoint& P, const TFloatPoint& Q);
bool FloatPointsEqual(const TFloatPoint& P, const TFloatPoint& Q);
bool PointExceeds(const TFloatPoint& P, const TFloatPoint& Q);
TFloatRect UnionFloatRect(const TFloatRect& A, const TFloatRect& B);
TFloatRect ExtendFloatRect(const TFloatRect& R, const TFloatPoint& P);
TFloatRect ExtendFloatRectByRect(const TFloatRect& R, const TFloatRect& S);
TFloatRect OffsetFloatRect(const TFloatRect& R, const TFloatPoint& P);
TFloatPoint FloatRectSize(const TFloatRect& R);
TFloatPoint FloatRectCentre(const TFloatRect& R);
bool PointInFloatRect(const TFloatPoint& P, const TFloatRect& R);
bool FloatRectsOverlap(const TFloatRect& A, const TFloatRect& B);
bool FloatRectsIntersect(const TFloatRect& A, const TFloatRect& B);
bool FloatRectWithin(const TFloatRect& A, const TFloatRect& B);
bool FloatRectsShareEdge(const TFloatRect& A, const TFloatRect& B);
// The least shift that brings Target into View; false (Shift untouched) when
// Target is wider or taller than View.
bool PanToContain(const TFloatRect& View, const TFloatRect& Target, TFloatPoint& Shift);
// World grown about its centre line to the aspect ratio of Device.
TFloatRect FitRectToDevice(const TFloatRect& World, const TRect& Device);
// Clamped to +-32760 and rounded half to even; MapToDeviceY flips Y.
int32_t MapToDeviceX(double w0, double w1, double d0, double d1, double v);
int32_t MapToDeviceY(double w0, double w1, double d0, double d1, double v);
double GreatCircleDistance(const TFloatPoint& P, const TFloatPoint& Q, double Radius,
                           bool ClampLatitudes, double ToRadians);

// Rounded half to even and saturated to the 32-bit range; an undefined value
// (from a degenerate transform) gives the lower limit.
int32_t RoundToInt32(double v);

// --- World/device transform ------------------------------------------------------------

// device = world * scale1 + d1; world = device * scale2 + d2. Immutable.
class TWDTransform {
public:
    TWDTransform(const TFloatRect& world_region, const TRect& dev_region);

    int32_t WorldtoDeviceX(double x) const { return RoundToInt32(x * xscale1_ + dx1_); }
    int32_t WorldtoDeviceY(double y) const { return RoundToInt32(y * yscale1_ + dy1_); }
    TPoint WorldToDevice(const TFloatPoint& Pnt) const {
        return {WorldtoDeviceX(Pnt.X), WorldtoDeviceY(Pnt.Y)};
    }
    TRect WorldToDevice(const TFloatRect& Rec) const;
    int32_t WorldToDeviceXLen(double x) const { return RoundToInt32(x * xscale1_); }
    int32_t WorldToDeviceYLen(double y) const { return RoundToInt32(y * yscale1_); }
    double WorldToDeviceRealX(double x) const { return x * xscale1_ + dx1_; }
    // Rounded to a whole pixel, unlike the X mapping.
    double WorldToDeviceRealY(double y) const;
    TFloatPoint WorldToDeviceReal(const TFloatPoint& Pnt) const;
    TFloatRect WorldToDeviceReal(const TFloatRect& Rec) const;
    double DevicetoWorldX(int32_t x) const { return x * xscale2_ + dx2_; }
    double DevicetoWorldY(int32_t y) const { return y * yscale2_ + dy2_; }
    TFloatPoint DevicetoWorld(const TPoint& Pnt) const {
        return {DevicetoWorldX(Pnt.X), DevicetoWorldY(Pnt.Y)};
    }
    TFloatRect DevicetoWorld(const TRect& Rec) const; // not normalised
    double DeviceToWorldXLen(int32_t x) const;
    double DeviceToWorldYLen(int32_t y) const;

    double dx1() const { return dx1_; }
    double dx2() const { return dx2_; }
    double dy1() const { return dy1_; }
    double dy2() const { return dy2_; }
    double xscale1() const { return xscale1_; }
    double xscale2() const { return xscale2_; }
    double yscale1() const { return yscale1_; }
    double yscale2() const { return yscale2_; }

private:
    double dx1_, dx2_, dy1_, dy2_;
    double xscale1_, xscale2_, yscale1_, yscale2_;
};

// --- Drawing styles --------------------------------------------------------------------

// Round(dpi * Points / 72); a positive width that rounds to 0 gives 1.
int PointsToPixels(int Dpi, double Points);
int PointsToPixels(const QPainter& Canvas, double Points);

Qt::PenStyle ToQtPenStyle(TPenStyle s);
Qt::BrushStyle ToQtBrushStyle(TBrushStyle s);
Qt::PenJoinStyle ToQtJoin(TLineJoin j);
Qt::PenCapStyle ToQtCap(TLineEndCap c);

class TPlaniBrush {
public:
    TPlaniBrush() = default;
    void Assign(const TPlaniBrush& Source);

    TBrushStyle Style() const { return fstyle; }
    void SetStyle(TBrushStyle v) { fstyle = v; }
    TColor FgColor() const { return fgcol; }
    void SetFgColor(TColor v) { fgcol = v; }
    TColor BgColor() const { return bgcol; }
    void SetBgColor(TColor v) { bgcol = v; }
    bool Transparent() const { return ftransp; }
    void SetTransparent(bool v) { ftransp = v; }

    // Binary form: fgcol 4, bgcol 4, fstyle 1, ftransp 1.
    void WriteTo(TStream& s) const;
    void ReadFrom(TStream& s);
    void WriteTo(TValueWriter& w) const;
    void ReadFrom(TValueReader& r);

    // Makes this the painter's brush; an opaque hatch gets the background colour under it.
    void SetBrushHandle(QPainter& Canvas) const;

private:
    TBrushStyle fstyle = bsSolid;
    TColor fgcol = 0xFFFFFF;
    TColor bgcol = 0;
    bool ftransp = true;
};

class TPlaniPen;

class TPlaniPenLayer {
public:
    explicit TPlaniPenLayer(TPlaniPen* Aowner) : fOwner(Aowner) {}
    TPlaniPenLayer(const TPlaniPenLayer&) = delete;
    TPlaniPenLayer& operator=(const TPlaniPenLayer&) = delete;
    void Assign(const TPlaniPenLayer& Source); // not the owner

    TPlaniPen* Owner() const { return fOwner; }
    TColor FGColor() const { return fFGColor; }
    void SetFGColor(TColor v) { fFGColor = v; }
    TColor BGColor() const { return fBGColor; }
    void SetBGColor(TColor v) { fBGColor = v; }
    float Width() const { return fWidth; } // points
    void SetWidth(float v) { fWidth = v; }
    TPenStyle Style() const { return fStyle; }
    void SetStyle(TPenStyle v) { fStyle = v; }
    bool Transparent() const { return ftransp; }
    void SetTransparent(bool v) { ftransp = v; }

    // Binary form: fFGColor 4, fBGColor 4, fStyle 1, fWidth 4, ftransp 1.
    void WriteTo(TStream& s) const;
    void ReadFrom(TStream& s);
    void WriteTo(TValueWriter& w) const;
    void ReadFrom(TValueReader& r);

    // The pen of this layer's foreground (background, always solid) colour,
    // with the owner's joins and end caps, installed on the painter.
    void SetFGPenHandle(QPainter& Canvas) const;
    void SetBGPenHandle(QPainter& Canvas) const;

private:
    void SetPen(QPainter& Canvas, TColor Color, TPenStyle Style) const;

    TPlaniPen* fOwner;
    TColor fFGColor = 0;
    TColor fBGColor = 0;
    float fWidth = 1.0f;
    TPenStyle fStyle = psSolid;
    bool ftransp = true;
};

// A line drawn as up to three stacked pen layers with common joins and end caps.
class TPlaniPen {
public:
    TPlaniPen();
    TPlaniPen(const TPlaniPen&) = delete;
    TPlaniPen& operator=(const TPlaniPen&) = delete;
    void Assign(const TPlaniPen& Source);

    uint8_t PenLayers() const { return nPenLayers; }
    // 1 to 3; a larger count raises ERangeError.
    void SetPenLayers(uint8_t v);
    // Layers 0 to 2; any other index raises ERangeError.
    TPlaniPenLayer& GetPenLayer(int index) const;
    TLineEndCap EndCap() const { return fEndCap; }
    void SetEndCap(TLineEndCap v) { fEndCap = v; }
    TLineJoin Joins() const { return fJoins; }
    void SetJoins(TLineJoin v) { fJoins = v; }
    // The widest of the layers in use.
    float Width() const;

    // Binary form: count 1, that many 14-byte layer records, end cap 1, joins 1.
    void WriteTo(TStream& s) const;
    void ReadFrom(TStream& s);
    void WriteTo(TValueWriter& w) const;
    void ReadFrom(TValueReader& r);

private:
    uint8_t nPenLayers = 1;
    std::array<std::unique_ptr<TPlaniPenLayer>, 3> fPenLayers;
    TLineEndCap fEndCap = lecSquare;
    TLineJoin fJoins = ljMiter;
};

class TPlaniFont : public QFont {
public:
    TPlaniFont() = default;
    void Assign(const QFont& Source) { QFont::operator=(Source); }
    void Assign(const TPlaniFont& Source) {
        QFont::operator=(Source);
        fExtStyle = Source.fExtStyle;
    }
    TPlaniFontStyles ExtStyle() const { return fExtStyle; }
    void SetExtStyle(TPlaniFontStyles v) { fExtStyle = v; }

private:
    TPlaniFontStyles fExtStyle = 0;
};

// The bitmap stretched into DestRect; with Transparent, the pixels of
// TransparentColor are left out through a clip region.
void DrawBitmap(QPainter& Canvas, const TRect& DestRect, const QImage& Bitmap,
                bool Transparent = false, TColor TransparentColor = 0);

// --- Messages shown to the user ---------------------------------------------------------

// A few toolkit operations tell the user of a problem in a plain message box
// (a missing background image, an unreadable world file). The box goes through
// a replaceable handler so that programs without a display and tests can take
// the text instead; the default shows a QMessageBox with an OK button.
enum TMessageKind { mkInformation, mkError };
using TMessageHandler = std::function<void(const std::string& Text, TMessageKind Kind)>;
TMessageHandler SetMessageHandler(TMessageHandler Handler); // returns the previous one
void ShowToolkitMessage(const std::string& Text, TMessageKind Kind);

} // namespace plani
