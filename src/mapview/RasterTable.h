#pragma once
// A layer table that shows one georeferenced image (BMP or JPEG). Two control
// points, each an image pixel position paired with a world position, place the
// image; they come from a world file beside the image, else from a binary .ras
// file, else the values already set stay in force. The image is never rotated
// or mirrored. Georeferencing that cannot place the picture (a pixel size that is
// zero, not finite or below a micrometre, a map beyond +-1e9 units) and a bitmap
// shorter than its header says are refused with a message naming the file.

#include "GrTables.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <string>

namespace plani {

class TRasterTable : public TGraphicTable {
public:
    TRasterTable();
    ~TRasterTable() override;

    // Source must be a raster table; its control points win over what an open reads.
    void Assign(const TSpatialObjTable& Source) override;
    // Stores the path and repaints the old and new extents; the image is reloaded
    // only by Close and Open.
    void SetDiskLocation(const std::string& Value) override;
    void Open() override;
    void Close() override;
    TFloatRect Extents() override;
    int32_t ObjectCount() override { return fActive ? 1 : 0; }
    bool DrawGraphic(const TFloatRect& vp, QPainter& c, const TRect& cr, TMemoryStream* rso,
                     QWidget* pc, int pd, bool& Cancel) override;

    // Writes the control points as a world file beside the image.
    void SaveRefPoints();
    // The image path with .bpw for .bmp and .jgw for .jpg (any case); else empty.
    std::string WorldFileName() const;

    double SX1() const { return pSP.Left; }
    double SY1() const { return pSP.Top; }
    double SX2() const { return pSP.Right; }
    double SY2() const { return pSP.Bottom; }
    int32_t MX1() const { return pMP.Left; }
    int32_t MY1() const { return pMP.Top; }
    int32_t MX2() const { return pMP.Right; }
    int32_t MY2() const { return pMP.Bottom; }
    void SetSX1(double v) {
        SetControl([&] { pSP.Left = v; });
    }
    void SetSY1(double v) {
        SetControl([&] { pSP.Top = v; });
    }
    void SetSX2(double v) {
        SetControl([&] { pSP.Right = v; });
    }
    void SetSY2(double v) {
        SetControl([&] { pSP.Bottom = v; });
    }
    void SetMX1(int32_t v) {
        SetControl([&] { pMP.Left = v; });
    }
    void SetMY1(int32_t v) {
        SetControl([&] { pMP.Top = v; });
    }
    void SetMX2(int32_t v) {
        SetControl([&] { pMP.Right = v; });
    }
    void SetMY2(int32_t v) {
        SetControl([&] { pMP.Bottom = v; });
    }
    bool RefPointsLoaded() const { return fRefPointsLoaded; }
    const std::string& RefPointFileName() const { return fRefPointsFileName; }

    // Whether the picture is drawn with smooth scaling: averaged where it is shown
    // smaller than its size, interpolated where larger. Off, rows and columns that
    // shrink away are dropped and enlarged pixels show as blocks.
    bool SmoothScaling() const { return fSmoothScaling; }
    void SetSmoothScaling(bool v) { fSmoothScaling = v; }

    bool HasPicture() const { return fKind != TPictureKind::None; }
    QSize PictureSize() const { return fSize; }

protected:
    void LoadRefPoints();
    void LoadWorldFile();
    void LoadRasFile();
    TPoint WorldToPixel(const TFloatRect& E, double x, double y) const;

private:
    enum class TPictureKind { None, Bitmap, Jpeg };
    void SetControl(const std::function<void()>& set);
    void ReleasePicture();
    void LoadPicture(const std::string& path, const std::string& ext);

    TFloatRect pSP; // world positions: Left = SX1, Top = SY1, Right = SX2, Bottom = SY2
    TRect pMP;      // pixel positions: Left = MX1, Top = MY1, Right = MX2, Bottom = MY2
    TPictureKind fKind = TPictureKind::None;
    QImage fBitmap;
    QByteArray fJpeg; // kept compressed, decoded for each drawing
    QSize fSize;
    bool fRefPointsLoaded = false;
    std::string fRefPointsFileName;
    bool fSmoothScaling = false;
};

} // namespace plani
