#include "RasterTable.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace plani {

namespace {

std::string UpperExt(const std::string& path) {
    std::string e = std::filesystem::path(path).extension().string();
    for (auto& ch : e)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return e;
}

std::string ChangeExt(const std::string& path, const std::string& ext) {
    return std::filesystem::path(path).replace_extension(ext).string();
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// Numbers in general format with up to 15 significant digits and '.', whatever the locale.
std::string FormatG(double v) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    return std::string(buf, res.ptr);
}

// A decimal number with '.' and no thousands separator; blanks round it are allowed.
double ParseWorldFileNumber(const std::string& line) {
    auto b = line.find_first_not_of(" \t\r\n");
    auto e = line.find_last_not_of(" \t\r\n");
    std::string s = b == std::string::npos ? std::string() : line.substr(b, e - b + 1);
    const char* first = s.data();
    const char* last = s.data() + s.size();
    if (first != last && *first == '+')
        ++first;
    double v = 0;
    auto res = std::from_chars(first, last, v, std::chars_format::general);
    // "nan" and "inf" parse, but would make every extent undefined.
    if (s.empty() || res.ec != std::errc() || res.ptr != last || !std::isfinite(v))
        throw Exception("'" + s + "' is not a valid floating point value");
    return v;
}

// A pixel below a micrometre cannot be told apart from its neighbours where the map
// lies far from the origin; a map beyond a billion units is no map of the Earth.
constexpr double MinPixelSize = 1e-6;
constexpr double MaxCoordinate = 1e9;

// Why a pixel size read from a file cannot be used, or empty.
std::string PixelSizeFault(const char* What, double Size) {
    if (std::isfinite(Size) && std::abs(Size) >= MinPixelSize)
        return {};
    return std::string("Cannot handle a pixel ") + What + " of " + FormatG(Size) +
           " (it must be at least " + FormatG(MinPixelSize) + " in size)";
}

// Why control points cannot place a picture of Size, or empty: pixel positions
// that coincide, a pixel size that is zero, not finite or too small, or a map
// beyond +-MaxCoordinate. The same arithmetic as Extents.
std::string GeoreferencingFault(const TFloatRect& SP, const TRect& MP, const QSize& Size) {
    if (MP.Left == MP.Right || MP.Top == MP.Bottom)
        return "The control points share a pixel column or row";
    const double xs =
        std::abs(SP.Right - SP.Left) / std::abs(static_cast<double>(MP.Right) - MP.Left);
    const double ys =
        std::abs(SP.Bottom - SP.Top) / std::abs(static_cast<double>(MP.Bottom) - MP.Top);
    if (std::string fault = PixelSizeFault("width", xs); !fault.empty())
        return fault;
    if (std::string fault = PixelSizeFault("height", ys); !fault.empty())
        return fault;
    const double left = SP.Left - MP.Left * xs, top = SP.Top + MP.Top * ys;
    const double right = left + Size.width() * xs, bottom = top - Size.height() * ys;
    for (double edge : {left, top, right, bottom})
        if (!(std::abs(edge) <= MaxCoordinate))
            return "Cannot handle a map reaching beyond +-" + FormatG(MaxCoordinate) + " (" +
                   FormatG(left) + ", " + FormatG(bottom) + " to " + FormatG(right) + ", " +
                   FormatG(top) + ")";
    return {};
}

uint32_t LittleEndian32(const QByteArray& b, int at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(b[at + i]);
    return v;
}

// The bytes a Windows bitmap needs, from its file header and info header: the
// offset of its pixels plus their rows (each padded to 4 bytes) or, compressed,
// the image size the header gives; 0 when the header does not say.
int64_t BitmapBytesDeclared(const QByteArray& Header) {
    if (Header.size() < 38)
        return 0;
    const int64_t offset = LittleEndian32(Header, 10);
    const auto width = static_cast<int32_t>(LittleEndian32(Header, 18));
    const auto height = static_cast<int32_t>(LittleEndian32(Header, 22));
    const uint32_t bits = LittleEndian32(Header, 28) & 0xFFFF;
    const uint32_t compression = LittleEndian32(Header, 30);
    const int64_t imageSize = LittleEndian32(Header, 34);
    if (LittleEndian32(Header, 14) < 40) // an old OS/2 header: left to the loader
        return 0;
    if (compression == 0 || compression == 3) { // plain rows, or rows with bit fields
        const int64_t stride = (static_cast<int64_t>(std::abs(width)) * bits + 31) / 32 * 4;
        return offset + stride * std::abs(static_cast<int64_t>(height));
    }
    return imageSize > 0 ? offset + imageSize : 0;
}

// The bitmap loader fills the missing rows of a truncated file and reports success.
void CheckBitmapComplete(const std::string& Path) {
    QFile f(QString::fromStdString(Path));
    if (!f.open(QIODevice::ReadOnly))
        return; // the loader reports what is wrong with the file
    const int64_t needed = BitmapBytesDeclared(f.read(38));
    const int64_t held = f.size();
    if (needed > held)
        throw Exception("The bitmap " + Path + " is truncated: it holds " + std::to_string(held) +
                        " of the " + std::to_string(needed) + " bytes its header declares");
}

// Draws the part Source of Image onto Target of the canvas, scaled smoothly: where
// it shrinks, each device pixel averages the image pixels it covers (thin lines
// stay visible); where it grows, pixels are interpolated.
void DrawSmooth(QPainter& c, const QRect& Target, const QImage& Image, const QRect& Source) {
    const QRectF device = c.deviceTransform().mapRect(QRectF(Target));
    const QSize pixels(std::max(1, static_cast<int>(std::lround(device.width()))),
                       std::max(1, static_cast<int>(std::lround(device.height()))));
    if (pixels.width() < Source.width() || pixels.height() < Source.height()) {
        QImage part =
            Image.copy(Source).scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        c.drawImage(QRectF(Target), part);
    } else {
        c.setRenderHint(QPainter::SmoothPixmapTransform, true);
        c.drawImage(QRectF(Target), Image, QRectF(Source));
    }
}

} // namespace

TRasterTable::TRasterTable() = default;

TRasterTable::~TRasterTable() {
    BeginDestroy();
    Close();
    DetachFromViewports();
}

void TRasterTable::Assign(const TSpatialObjTable& Source) {
    const auto* src = dynamic_cast<const TRasterTable*>(&Source);
    if (!src)
        throw Exception("Cannot assign this table to a TRasterTable");
    if (fActive)
        Close();
    TSpatialObjTable::Assign(Source);
    if (src->fActive)
        Open();
    pSP = src->pSP;
    pMP = src->pMP;
}

void TRasterTable::SetControl(const std::function<void()>& set) {
    const TFloatRect old = Extents();
    set();
    if (fActive && NotifyOnChange())
        NotifyChange(UnionFloatRect(Extents(), old), 0, true);
}

void TRasterTable::SetDiskLocation(const std::string& Value) {
    const TFloatRect old = Extents();
    TGraphicTable::SetDiskLocation(Value);
    if (fActive && NotifyOnChange())
        NotifyChange(UnionFloatRect(Extents(), old), 0, true);
}

void TRasterTable::ReleasePicture() {
    fKind = TPictureKind::None;
    fBitmap = QImage();
    fJpeg.clear();
    fSize = QSize();
}

void TRasterTable::LoadPicture(const std::string& path, const std::string& ext) {
    const QString qpath = QString::fromStdString(path);
    if (ext == ".BMP") {
        CheckBitmapComplete(path);
        QImageReader reader(qpath, "bmp");
        QImage img = reader.read();
        if (img.isNull())
            throw Exception(reader.errorString().toStdString());
        // One pixel format that stretches without a conversion on every drawing.
        img.convertTo(img.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                            : QImage::Format_RGB32);
        fBitmap = std::move(img);
        fSize = fBitmap.size();
        fKind = TPictureKind::Bitmap;
    } else {
        QFile f(qpath);
        if (!f.open(QIODevice::ReadOnly))
            throw Exception(f.errorString().toStdString());
        QByteArray data = f.readAll();
        QBuffer buf(&data);
        QImageReader reader(&buf, "jpeg");
        // Decoded once here so that a broken file fails the open, not every drawing.
        QImage img = reader.read();
        if (img.isNull())
            throw Exception(reader.errorString().toStdString());
        fJpeg = std::move(data);
        fSize = img.size();
        fKind = TPictureKind::Jpeg;
    }
}

void TRasterTable::Open() {
    if (fActive)
        return;
    const std::string path = DiskLocation();
    if (!FileExists(path)) {
        ShowToolkitMessage("File " + path + " not found", mkInformation);
        return;
    }
    const std::string ext = UpperExt(path);
    if (ext != ".BMP" && ext != ".JPG")
        throw Exception("Unrecognized file format");
    try {
        LoadPicture(path, ext);
        LoadRefPoints();
    } catch (...) {
        ReleasePicture();
        throw;
    }
    TGraphicTable::Open();
}

void TRasterTable::Close() {
    if (!fActive)
        return;
    TGraphicTable::Close();
    ReleasePicture();
}

std::string TRasterTable::WorldFileName() const {
    const std::string ext = UpperExt(DiskLocation());
    if (ext == ".BMP")
        return ChangeExt(DiskLocation(), ".bpw");
    if (ext == ".JPG")
        return ChangeExt(DiskLocation(), ".jgw");
    return {};
}

void TRasterTable::LoadRefPoints() {
    fRefPointsLoaded = false;
    fRefPointsFileName.clear();
    LoadWorldFile();
    if (!fRefPointsLoaded)
        LoadRasFile();
}

void TRasterTable::LoadWorldFile() {
    fRefPointsFileName = WorldFileName();
    if (!FileExists(fRefPointsFileName))
        return;
    try {
        std::ifstream in(fRefPointsFileName, std::ios::binary);
        if (!in)
            throw Exception("Cannot open file \"" + fRefPointsFileName + "\". " +
                            std::strerror(errno));
        double v[6];
        std::string line;
        for (double& x : v) {
            if (!std::getline(in, line))
                line.clear(); // a missing line reads as empty
            x = ParseWorldFileNumber(line);
        }
        const double A = v[0], D = v[1], B = v[2], E = v[3], C = v[4], F = v[5];
        if (D != 0)
            throw Exception("Cannot handle non-zero Row Rotation Term (" + FormatG(D) + ")");
        if (B != 0)
            throw Exception("Cannot handle non-zero Column Rotation Term (" + FormatG(B) + ")");

        for (const std::string& fault : {PixelSizeFault("width", A), PixelSizeFault("height", E)})
            if (!fault.empty())
                throw Exception(fault);

        const int w = fSize.width(), h = fSize.height();
        const TRect mp{0, 0, w, h};
        TFloatRect sp;
        sp.Left = C - A * 0.5;
        sp.Right = C + (w - 0.5) * A;
        // SY1 is the top edge whichever sign the pixel height has.
        if (E < 0) {
            sp.Top = F - E * 0.5;
            sp.Bottom = F + (h - 0.5) * E;
        } else {
            sp.Top = F + (h - 0.5) * E;
            sp.Bottom = F - E * 0.5;
        }
        if (std::string fault = GeoreferencingFault(sp, mp, fSize); !fault.empty())
            throw Exception(fault);
        const TFloatRect old = Extents();
        pMP = mp;
        pSP = sp;
        fRefPointsLoaded = true;
        if (fActive && NotifyOnChange())
            NotifyChange(UnionFloatRect(Extents(), old), 0, true);
    } catch (const std::exception& e) {
        ShowToolkitMessage(
            "Error while loading world file " + fRefPointsFileName + "\r\r" + e.what(), mkError);
    }
}

void TRasterTable::LoadRasFile() {
    fRefPointsFileName = ChangeExt(DiskLocation(), ".ras");
    if (!FileExists(fRefPointsFileName))
        return;
    TFileStream f(fRefPointsFileName);
    if (f.ReadUInt16() != 0x8B87)
        throw Exception("Invalid .ras file");
    // Read whole before anything changes, so a short file leaves the points as they were.
    TFloatRect sp;
    TRect mp;
    f.ReadBuffer(&sp, 32);
    f.ReadBuffer(&mp, 16);
    if (std::string fault = GeoreferencingFault(sp, mp, fSize); !fault.empty())
        throw Exception("Invalid georeferencing in " + fRefPointsFileName + ": " + fault);
    pSP = sp;
    pMP = mp;
    fRefPointsLoaded = true;
}

void TRasterTable::SaveRefPoints() {
    const std::string name = WorldFileName();
    if (name.empty())
        throw Exception("Cannot save reference points: no world file name for " + DiskLocation());
    if (MX1() == MX2() || MY1() == MY2())
        throw Exception(
            "Cannot save reference points: the pixel positions of the control points coincide");
    const double A = (SX2() - SX1()) / (MX2() - MX1());
    const double E = (SY2() - SY1()) / (MY2() - MY1());
    const double C = SX1() + (0.5 - MX1()) * A;
    const double F = SY1() + (0.5 - MY1()) * E;
    fRefPointsFileName = name;
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    if (!out)
        throw EFCreateError("Cannot create file \"" + name + "\". " + std::strerror(errno));
    out << FormatG(A) << '\n'
        << "0\n0\n"
        << FormatG(E) << '\n'
        << FormatG(C) << '\n'
        << FormatG(F) << '\n';
    out.close();
    if (!out)
        throw EWriteError("Stream write error");
}

TFloatRect TRasterTable::Extents() {
    if (!fActive || MX1() == MX2() || MY1() == MY2() || SX1() == SX2() || SY1() == SY2())
        return {};
    const double xs = std::abs(SX2() - SX1()) / std::abs(static_cast<double>(MX2()) - MX1());
    const double ys = std::abs(SY2() - SY1()) / std::abs(static_cast<double>(MY2()) - MY1());
    TFloatRect r;
    r.Left = SX1() - MX1() * xs;
    r.Right = r.Left + fSize.width() * xs;
    r.Top = SY1() + MY1() * ys;
    r.Bottom = r.Top - fSize.height() * ys;
    return r;
}

TPoint TRasterTable::WorldToPixel(const TFloatRect& E, double x, double y) const {
    TPoint p;
    p.X = E.Right == E.Left
              ? 0
              : RoundToInt32((x - E.Left) * (fSize.width() / std::abs(E.Right - E.Left)));
    p.Y = E.Top == E.Bottom
              ? 0
              : RoundToInt32((E.Top - y) * (fSize.height() / std::abs(E.Top - E.Bottom)));
    return p;
}

bool TRasterTable::DrawGraphic(const TFloatRect& vp, QPainter& c, const TRect& cr, TMemoryStream*,
                               QWidget*, int, bool&) {
    if (!fActive || !HasPicture())
        return false;
    const TFloatRect E = Extents();
    if (IsEmptyFloatRect(E))
        return false;
    if (E.Left > vp.Right || vp.Left > E.Right || vp.Bottom > E.Top || E.Bottom > vp.Top)
        return false;
    // Only the part of the image inside the view is copied.
    const TFloatRect W{std::max(E.Left, vp.Left), std::min(E.Top, vp.Top),
                       std::min(E.Right, vp.Right), std::max(E.Bottom, vp.Bottom)};
    TRect D;
    D.Left = MapToDeviceX(vp.Left, vp.Right, cr.Left, cr.Right, W.Left);
    D.Right = MapToDeviceX(vp.Left, vp.Right, cr.Left, cr.Right, W.Right);
    D.Top = MapToDeviceY(vp.Bottom, vp.Top, cr.Bottom, cr.Top, W.Top);
    D.Bottom = MapToDeviceY(vp.Bottom, vp.Top, cr.Bottom, cr.Top, W.Bottom);
    // W lies within E, so S lies within the image; the clamp only keeps control
    // points set to an extent too small for its pixels from overflowing S.
    const TPoint s1 = WorldToPixel(E, W.Left, W.Top);
    const TPoint s2 = WorldToPixel(E, W.Right, W.Bottom);
    auto column = [&](int32_t x) { return std::clamp(x, 0, fSize.width()); };
    auto row = [&](int32_t y) { return std::clamp(y, 0, fSize.height()); };
    const TRect S{column(s1.X), row(s1.Y), column(s2.X), row(s2.Y)};
    if (D.Width() <= 0 || D.Height() <= 0 || S.Width() <= 0 || S.Height() <= 0)
        return false;

    QImage decoded;
    if (fKind == TPictureKind::Jpeg) {
        QByteArray data = fJpeg;
        QBuffer buf(&data);
        QImageReader reader(&buf, "jpeg");
        decoded = reader.read();
        if (decoded.isNull())
            return false;
    }
    const QImage& bitmap = fKind == TPictureKind::Jpeg ? decoded : fBitmap;
    c.save();
    c.setCompositionMode(QPainter::CompositionMode_Source);
    if (fSmoothScaling) {
        DrawSmooth(c, ToQRect(D), bitmap, ToQRect(S));
    } else {
        // Stretch without blending (rows and columns that shrink away are dropped).
        c.setRenderHint(QPainter::SmoothPixmapTransform, false);
        c.drawImage(ToQRect(D), bitmap, ToQRect(S));
    }
    c.restore();
    return false;
}

} // namespace plani
