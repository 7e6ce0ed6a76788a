// The viewport on a screen of device pixel ratio 2: its pictures hold every device
// pixel, so lines and the map are drawn sharp, while coordinates stay in the
// widget's own pixels. This program runs with QT_SCALE_FACTOR=2.

#include "PGFtable.h"
#include "PlaniVP.h"
#include "RasterTable.h"
#include "mapview_test_env.h"
#include "temp_dir.h"

#include <QTest>
#include <fstream>
#include <gtest/gtest.h>

using namespace plani;

namespace {

// Set before the application object exists, which reads it once.
[[maybe_unused]] const bool kScaled = qputenv("QT_SCALE_FACTOR", "2");

TEST(HighDensityScreen, ViewportDrawsEveryDevicePixel) {
    testutil::TempDir dir;
    // A 20 x 10 map of 10 units per pixel: white, with a black column at x = 7.
    QImage img(20, 10, QImage::Format_RGB32);
    img.fill(Qt::white);
    for (int y = 0; y < 10; ++y)
        img.setPixel(7, y, qRgb(0, 0, 0));
    img.save(QString::fromStdString(dir / "map.bmp"), "BMP");
    std::ofstream(dir / "map.bpw") << "10\n0\n0\n-10\n5\n95\n";
    TRasterTable raster;
    raster.SetDiskLocation(dir / "map.bmp");
    raster.SetSmoothScaling(true);
    raster.Open();
    TPGFTable lines;
    lines.SetRamFile(true);
    lines.CreateNewTable();
    TMemoryStream s;
    s.WriteInt32(1);
    s.WriteInt32(2);
    for (double v : {0.0, 50.0, 200.0, 50.0})
        s.WriteDouble(v);
    s.SetPosition(0);
    TBasicObjectStyle pen;
    pen.PenColor = 255;
    pen.PenWidth = 1;
    pen.PenStyle = psSolid;
    lines.CreatePolyline(pen, s);
    TLayerDataEntry map, line;
    map.Table = &raster;
    line.Table = &lines;
    TGraphicViewport vp;
    vp.Layers().ReadLayerData({map, line});
    vp.resize(200, 100);
    vp.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&vp));
    ASSERT_EQ(vp.devicePixelRatio(), 2.0);
    vp.Display().SetReq({0, 100, 200, 0});
    vp.RedrawImageData(true);

    const QImage& bm = vp.ScreenBM();
    EXPECT_EQ(bm.size(), QSize(400, 200));
    EXPECT_EQ(bm.devicePixelRatio(), 2.0);
    // The line one pixel wide covers two device rows of pure red, nothing blurred.
    int redRows = 0;
    for (int y = 90; y < 110; ++y)
        redRows += bm.pixel(300, y) == qRgb(255, 0, 0);
    EXPECT_EQ(redRows, 2);
    // The map's black column (x 70..80) is 20 device pixels wide, its edges blended
    // over a few device pixels rather than a step of 2 x 10.
    EXPECT_LT(qGray(bm.pixel(150, 40)), 16);
    EXPECT_EQ(bm.pixel(100, 40), qRgb(255, 255, 255));
    // Coordinates stay in the widget's own pixels.
    EXPECT_EQ(vp.ScreenToCoOrd(TPoint{100, 50}), (TFloatPoint{100, 50}));
    EXPECT_EQ(vp.CoOrdToScreen(TFloatPoint{200, 0}), (TPoint{200, 100}));
}

} // namespace
