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

        const TFloatRect old = Extents();
        const int w = fSize.width(), h = fSize.height();
        pMP = {0, 0, w, h};
        pSP.Left = C - A * 0.5;
        pSP.Right = C + (w - 0.5) * A;
        // SY1 is the top edge whichever sign the pixel height has.
        if (E < 0) {
            pSP.Top = F - E * 0.5;
            pSP.Bottom = F + (h - 0.5) * E;
        } else {
            pSP.Top = F + (h - 0.5) * E;
            pSP.Bottom = F - E * 0.5;
        }
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
    const TPoint s1 = WorldToPixel(E, W.Left, W.Top);
    const TPoint s2 = WorldToPixel(E, W.Right, W.Bottom);
    const TRect S{s1.X, s1.Y, s2.X, s2.Y};
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
    // Stretch without blending (rows and columns that shrink away are dropped) and copy plainly.
    c.setRenderHint(QPainter::SmoothPixmapTransform, false);
    c.setCompositionMode(QPainter::CompositionMode_Source);
    c.drawImage(ToQRect(D), bitmap, ToQRect(S));
    c.restore();
    return false;
}

} // namespace plani
