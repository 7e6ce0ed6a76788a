// The raster layer: georeferencing from world and .ras files, its errors, and drawing.

#include "RasterTable.h"
#include "mapview_test_env.h"
#include "temp_dir.h"

#include <QImage>
#include <QPainter>
#include <fstream>
#include <gtest/gtest.h>

using namespace plani;

namespace {

// A 100 x 50 image: red left half, blue right half, with a green top row.
QImage TestImage() {
    QImage img(100, 50, QImage::Format_RGB32);
    img.fill(Qt::red);
    QPainter p(&img);
    p.fillRect(50, 0, 50, 50, Qt::blue);
    p.fillRect(0, 0, 100, 1, Qt::green);
    return img;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

void WriteRas(const std::string& path, uint16_t sig, TFloatRect sp, TRect mp, size_t cut = 0) {
    TMemoryStream s;
    s.WriteUInt16(sig);
    s.WriteValue(sp);
    s.WriteValue(mp);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(s.Memory()),
              static_cast<std::streamsize>(s.Size() - cut));
}

template <typename F> std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

class RasterTest : public ::testing::Test {
protected:
    RasterTest() {
        bmp = dir / "map.bmp";
        TestImage().save(QString::fromStdString(bmp), "BMP");
        // Design values that stay in force when no reference file is found.
        t.SetSX1(-1);
        t.SetSY1(1);
        t.SetSX2(1);
        t.SetSY2(-1);
        t.SetMX1(0);
        t.SetMY1(0);
        t.SetMX2(100);
        t.SetMY2(50);
    }
    void ExpectDesignValues() {
        EXPECT_EQ(t.SX1(), -1);
        EXPECT_EQ(t.SY2(), -1);
        EXPECT_EQ(t.MX2(), 100);
    }
    testutil::TempDir dir;
    std::string bmp;
    TRasterTable t;
    mvtest::MessageRecorder messages;
};

const char kWorld[] = "10\n0\n0\n-10\n1005\n1995\n";

} // namespace

TEST_F(RasterTest, WorldFileGeoreferencesTheImage) {
    WriteText(dir / "map.bpw", kWorld);
    t.SetDiskLocation(bmp);
    EXPECT_EQ(t.ObjectCount(), 0);
    t.Open();
    ASSERT_TRUE(t.Active());
    EXPECT_TRUE(messages.Messages.empty());
    EXPECT_TRUE(t.RefPointsLoaded());
    EXPECT_EQ(t.RefPointFileName(), dir / "map.bpw");
    EXPECT_EQ(t.MX1(), 0);
    EXPECT_EQ(t.MX2(), 100);
    EXPECT_EQ(t.MY1(), 0);
    EXPECT_EQ(t.MY2(), 50);
    EXPECT_DOUBLE_EQ(t.SX1(), 1000);
    EXPECT_DOUBLE_EQ(t.SX2(), 2000);
    EXPECT_DOUBLE_EQ(t.SY1(), 2000);
    EXPECT_DOUBLE_EQ(t.SY2(), 1500);
    EXPECT_EQ(t.Extents(), (TFloatRect{1000, 2000, 2000, 1500}));
    EXPECT_EQ(t.ObjectCount(), 1);
    EXPECT_EQ(t.Attributes(), AttrSet(gtaDraw));
    t.Close();
    EXPECT_EQ(t.ObjectCount(), 0);
    EXPECT_TRUE(IsEmptyFloatRect(t.Extents()));
    EXPECT_FALSE(t.HasPicture());
}

TEST_F(RasterTest, PositivePixelHeightStillPutsTheFirstRowOnTop) {
    WriteText(dir / "map.bpw", "10\n0\n0\n10\n1005\n1505\n");
    t.SetDiskLocation(bmp);
    t.Open();
    EXPECT_DOUBLE_EQ(t.SY1(), 1505 + 49.5 * 10); // F + (height - 0.5) * E
    EXPECT_DOUBLE_EQ(t.SY2(), 1500);
    EXPECT_GT(t.SY1(), t.SY2());
    QImage img(100, 50, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    t.Draw(t.Extents(), p, {0, 0, 100, 50}, nullptr);
    p.end();
    EXPECT_EQ(img.pixel(10, 0), qRgb(0, 255, 0)); // the green first row is at the top
    EXPECT_EQ(img.pixel(10, 49), qRgb(255, 0, 0));
}

TEST_F(RasterTest, SaveRefPointsWritesTheWorldFile) {
    WriteText(dir / "map.bpw", kWorld);
    t.SetDiskLocation(bmp);
    t.Open();
    std::filesystem::remove(dir / "map.bpw");
    t.SaveRefPoints();
    EXPECT_EQ(testutil::ReadFileBytes(dir / "map.bpw"), "10\n0\n0\n-10\n1005\n1995\n");
    EXPECT_EQ(t.RefPointFileName(), dir / "map.bpw");
    t.SetDiskLocation(dir / "map.png");
    EXPECT_NE(ErrorOf([&] { t.SaveRefPoints(); }), "(no error)");
}

TEST_F(RasterTest, UpperCaseExtensionLooksForTheLowerCaseWorldFile) {
    const std::string upper = dir / "MAP2.BMP";
    TestImage().save(QString::fromStdString(upper), "BMP");
    WriteText(dir / "MAP2.bpw", kWorld);
    t.SetDiskLocation(upper);
    t.Open();
    ASSERT_TRUE(t.Active());
    EXPECT_TRUE(t.RefPointsLoaded());
    EXPECT_EQ(t.WorldFileName(), dir / "MAP2.bpw");
}

TEST_F(RasterTest, MissingImageAndUnknownFormat) {
    t.SetDiskLocation(dir / "nothere.bmp");
    EXPECT_NO_THROW(t.Open());
    EXPECT_FALSE(t.Active());
    ASSERT_EQ(messages.Messages.size(), 1u);
    EXPECT_EQ(messages.Messages[0].first, "File " + (dir / "nothere.bmp") + " not found");

    const std::string jpeg = dir / "map.jpeg";
    TestImage().save(QString::fromStdString(jpeg), "JPG");
    t.SetDiskLocation(jpeg);
    EXPECT_EQ(ErrorOf([&] { t.Open(); }), "Unrecognized file format");
    EXPECT_FALSE(t.Active());

    const std::string broken = dir / "broken.bmp";
    WriteText(broken, "BM this is not a bitmap");
    t.SetDiskLocation(broken);
    EXPECT_NE(ErrorOf([&] { t.Open(); }), "(no error)");
    EXPECT_FALSE(t.Active());
    EXPECT_FALSE(t.HasPicture());
}

// A bad world file shows the error box, keeps the control points and falls back
// to the .ras file when there is one.
TEST_F(RasterTest, BadWorldFilesAreReportedAndSkipped) {
    struct Case {
        const char* name;
        std::string text;
        std::string error;
    } cases[] = {
        {"short", "10\n0\n0\n-10\n", "'' is not a valid floating point value"},
        {"non-numeric", "10\n0\n0\nabc\n1005\n1995\n", "'abc' is not a valid floating point value"},
        {"not finite", "10\n0\n0\n-10\nnan\n1995\n", "'nan' is not a valid floating point value"},
        {"decimal comma", "10,5\n0\n0\n-10\n1005\n1995\n",
         "'10,5' is not a valid floating point value"},
        {"row rotation", "10\n0.5\n0\n-10\n1005\n1995\n",
         "Cannot handle non-zero Row Rotation Term (0.5)"},
        {"column rotation", "10\n0\n-2\n-10\n1005\n1995\n",
         "Cannot handle non-zero Column Rotation Term (-2)"},
    };
    const std::string world = dir / "map.bpw";
    t.SetDiskLocation(bmp);
    for (const auto& c : cases) {
        for (bool withRas : {false, true}) {
            messages.Messages.clear();
            WriteText(world, c.text);
            std::filesystem::remove(dir / "map.ras");
            if (withRas)
                WriteRas(dir / "map.ras", 0x8B87, {500, 900, 700, 800}, {0, 0, 100, 50});
            t.Open();
            ASSERT_TRUE(t.Active()) << c.name;
            ASSERT_EQ(messages.Messages.size(), 1u) << c.name;
            EXPECT_EQ(messages.Messages[0].first,
                      "Error while loading world file " + world + "\r\r" + c.error)
                << c.name;
            EXPECT_EQ(messages.Messages[0].second, mkError);
            if (withRas) {
                EXPECT_TRUE(t.RefPointsLoaded()) << c.name;
                EXPECT_EQ(t.RefPointFileName(), dir / "map.ras");
                EXPECT_EQ(t.Extents(), (TFloatRect{500, 900, 700, 800})) << c.name;
            } else {
                EXPECT_FALSE(t.RefPointsLoaded()) << c.name;
                ExpectDesignValues();
            }
            t.Close();
            // Put the design values back for the next case.
            t.SetSX1(-1);
            t.SetSY1(1);
            t.SetSX2(1);
            t.SetSY2(-1);
        }
    }
    // Lines after the sixth, blanks and Windows line ends are fine.
    messages.Messages.clear();
    WriteText(world, " 10 \r\n0\r\n0\r\n-10\r\n1005\r\n1995\r\nextra\r\n");
    std::filesystem::remove(dir / "map.ras");
    t.Open();
    EXPECT_TRUE(messages.Messages.empty());
    EXPECT_EQ(t.Extents(), (TFloatRect{1000, 2000, 2000, 1500}));
}

TEST_F(RasterTest, RasFileErrorsLeaveTheTableClosed) {
    t.SetDiskLocation(bmp);
    WriteRas(dir / "map.ras", 0x1234, {0, 1, 1, 0}, {0, 0, 1, 1});
    EXPECT_EQ(ErrorOf([&] { t.Open(); }), "Invalid .ras file");
    EXPECT_FALSE(t.Active());
    EXPECT_FALSE(t.HasPicture());
    WriteRas(dir / "map.ras", 0x8B87, {0, 1, 1, 0}, {0, 0, 1, 1}, 1);
    EXPECT_EQ(ErrorOf([&] { t.Open(); }), "Stream read error");
    EXPECT_FALSE(t.Active());
    ExpectDesignValues(); // a short file changes nothing
    WriteText(dir / "map.ras", "\x87");
    EXPECT_EQ(ErrorOf([&] { t.Open(); }), "Stream read error");

    WriteRas(dir / "map.ras", 0x8B87, {10, 20, 30, 5}, {1, 2, 51, 27});
    t.Open();
    ASSERT_TRUE(t.Active());
    EXPECT_EQ(t.SX1(), 10);
    EXPECT_EQ(t.SY2(), 5);
    EXPECT_EQ(t.MX2(), 51);
    EXPECT_EQ(t.MY2(), 27);
    // xs = 20 / 50 = 0.4, ys = 15 / 25 = 0.6: Left = 10 - 0.4, Top = 20 + 2 * 0.6.
    EXPECT_NEAR(t.Extents().Left, 9.6, 1e-12);
    EXPECT_NEAR(t.Extents().Right, 9.6 + 40, 1e-12);
    EXPECT_NEAR(t.Extents().Top, 21.2, 1e-12);
    EXPECT_NEAR(t.Extents().Bottom, 21.2 - 30, 1e-12);
}

TEST_F(RasterTest, WithoutReferenceFilesTheSetValuesStay) {
    t.SetDiskLocation(bmp);
    t.Open();
    ASSERT_TRUE(t.Active());
    EXPECT_FALSE(t.RefPointsLoaded());
    EXPECT_EQ(t.RefPointFileName(), dir / "map.ras");
    ExpectDesignValues();
    EXPECT_EQ(t.Extents(), (TFloatRect{-1, 1, 1, -1}));
    // Degenerate control points: no extents, nothing drawn.
    t.SetSX2(-1);
    EXPECT_TRUE(IsEmptyFloatRect(t.Extents()));
    QImage img(10, 10, QImage::Format_RGB32);
    img.fill(Qt::white);
    QImage before = img;
    QPainter p(&img);
    t.Draw({-1, 1, 1, -1}, p, {0, 0, 10, 10}, nullptr);
    p.end();
    EXPECT_EQ(img, before);
}

TEST_F(RasterTest, OpenTwiceLoadsNothingAndNewPathWaitsForReopen) {
    WriteText(dir / "map.bpw", kWorld);
    t.SetDiskLocation(bmp);
    t.Open();
    WriteText(dir / "map.bpw", "20\n0\n0\n-20\n1005\n1995\n");
    t.Open();
    EXPECT_DOUBLE_EQ(t.SX2(), 2000);
    const std::string other = dir / "other.bmp";
    QImage small(10, 10, QImage::Format_RGB32);
    small.fill(Qt::black);
    small.save(QString::fromStdString(other), "BMP");
    t.SetDiskLocation(other);
    EXPECT_EQ(t.PictureSize(), QSize(100, 50));
    t.Close();
    t.Open();
    EXPECT_EQ(t.PictureSize(), QSize(10, 10));
}

TEST_F(RasterTest, AssignTakesTheSourcesControlPoints) {
    WriteText(dir / "map.bpw", kWorld);
    t.SetDiskLocation(bmp);
    t.Open();
    t.SetSX2(3000); // differs from what the world file says
    TRasterTable copy;
    copy.Assign(t);
    EXPECT_TRUE(copy.Active());
    EXPECT_EQ(copy.SX2(), 3000);
    EXPECT_EQ(copy.DiskLocation(), bmp);
    TGraphicTable other;
    EXPECT_THROW(copy.Assign(other), Exception);
}

TEST_F(RasterTest, DrawsTheVisiblePartStretchedAndClipped) {
    WriteText(dir / "map.bpw", kWorld); // extents (1000, 2000, 2000, 1500), 10 units per pixel
    t.SetDiskLocation(bmp);
    t.Open();
    auto render = [&](const TFloatRect& vp, int w, int h) {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        EXPECT_FALSE(t.Draw(vp, p, {0, 0, w, h}, nullptr));
        return img;
    };
    // The whole image twice enlarged in a view with a margin.
    QImage all = render({900, 2100, 2100, 1400}, 240, 140);
    TWDTransform tr({900, 2100, 2100, 1400}, {0, 0, 240, 140});
    EXPECT_EQ(all.pixel(tr.WorldtoDeviceX(1200), tr.WorldtoDeviceY(1700)), qRgb(255, 0, 0));
    EXPECT_EQ(all.pixel(tr.WorldtoDeviceX(1800), tr.WorldtoDeviceY(1700)), qRgb(0, 0, 255));
    EXPECT_EQ(all.pixel(tr.WorldtoDeviceX(950), tr.WorldtoDeviceY(1700)), qRgb(255, 255, 255));
    EXPECT_EQ(all.pixel(tr.WorldtoDeviceX(1200), tr.WorldtoDeviceY(1995)), qRgb(0, 255, 0));
    // Only the right half in view: all blue.
    QImage right = render({1500, 1900, 2000, 1600}, 50, 30);
    EXPECT_EQ(right.pixel(0, 15), qRgb(0, 0, 255));
    EXPECT_EQ(right.pixel(49, 15), qRgb(0, 0, 255));
    // A view wholly beside the image leaves the canvas untouched.
    QImage beside = render({3000, 2000, 4000, 1500}, 20, 10);
    QImage white(20, 10, QImage::Format_RGB32);
    white.fill(Qt::white);
    EXPECT_EQ(beside, white);
}

TEST_F(RasterTest, JpegWithItsWorldFile) {
    const std::string jpg = dir / "map.jpg";
    QImage img(64, 32, QImage::Format_RGB32);
    img.fill(QColor(200, 40, 40));
    ASSERT_TRUE(img.save(QString::fromStdString(jpg), "JPG", 95));
    WriteText(dir / "map.jgw", "1\n0\n0\n-1\n0.5\n31.5\n");
    t.SetDiskLocation(jpg);
    t.Open();
    ASSERT_TRUE(t.Active());
    EXPECT_EQ(t.Extents(), (TFloatRect{0, 32, 64, 0}));
    QImage out(64, 32, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    t.Draw({0, 32, 64, 0}, p, {0, 0, 64, 32}, nullptr);
    p.end();
    QColor got = out.pixelColor(32, 16);
    EXPECT_NEAR(got.red(), 200, 6);
    EXPECT_NEAR(got.green(), 40, 6);
    EXPECT_NEAR(got.blue(), 40, 6);
}

// Regression: control points that place the picture on a rectangle too small to
// hold its pixels (a world file with a pixel size of 4.9e-324) made the source
// rectangle of the drawing overflow the 32-bit range (undefined behaviour, which
// the sanitizer build aborts on). Such a picture is now drawn without a fault.
TEST_F(RasterTest, DrawingAPictureOnAVanishingRectangleDoesNotOverflow) {
    t.SetDiskLocation(bmp);
    t.Open();
    ASSERT_TRUE(t.Active());
    t.SetSX1(0);
    t.SetSX2(100 * 4.9e-324);
    t.SetSY1(50 * 4.9e-324);
    t.SetSY2(0);
    const TFloatRect e = t.Extents();
    ASSERT_FALSE(IsEmptyFloatRect(e));
    QImage img(40, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    EXPECT_FALSE(t.Draw(e, p, {0, 0, 40, 20}, nullptr));
    EXPECT_FALSE(t.Draw({-1, 1, 1, -1}, p, {0, 0, 40, 20}, nullptr));
}

// Georeferencing that cannot place the picture is refused with a message naming
// its file, instead of an empty or degenerate map: a world file through its error
// box (the control points stay as they were), a .ras file as an error of Open.
TEST_F(RasterTest, ImplausibleGeoreferencingIsRefused) {
    const struct {
        const char* Name;
        std::string Text;
        std::string Error;
    } worldFiles[] = {
        {"zero width", "0\n0\n0\n-10\n1005\n1995\n",
         "Cannot handle a pixel width of 0 (it must be at least 1e-06 in size)"},
        {"zero height", "10\n0\n0\n0\n1005\n1995\n",
         "Cannot handle a pixel height of 0 (it must be at least 1e-06 in size)"},
        {"vanishing width", "4.9e-324\n0\n0\n-10\n1005\n1995\n",
         "Cannot handle a pixel width of 4.94065645841247e-324 (it must be at least 1e-06 in "
         "size)"},
        {"map beyond 1e9", "1e8\n0\n0\n-10\n1005\n1995\n",
         "Cannot handle a map reaching beyond +-1000000000 (-49998995, 1500 to 9950001005, "
         "2000)"},
        {"origin beyond 1e9", "10\n0\n0\n-10\n1005\n2e9\n",
         "Cannot handle a map reaching beyond +-1000000000 (1000, 1999999505 to 2000, "
         "2000000005)"},
        // The map's width overflows to infinity.
        {"width overflows", "1e307\n0\n0\n-10\n1005\n1995\n",
         "Cannot handle a pixel width of inf (it must be at least 1e-06 in size)"},
    };
    const std::string world = dir / "map.bpw";
    t.SetDiskLocation(bmp);
    for (const auto& c : worldFiles) {
        messages.Messages.clear();
        WriteText(world, c.Text);
        t.Open();
        ASSERT_TRUE(t.Active()) << c.Name;
        ASSERT_EQ(messages.Messages.size(), 1u) << c.Name;
        EXPECT_EQ(messages.Messages[0].first,
                  "Error while loading world file " + world + "\r\r" + c.Error)
            << c.Name;
        EXPECT_FALSE(t.RefPointsLoaded()) << c.Name;
        ExpectDesignValues();
        t.Close();
    }
    std::filesystem::remove(world);

    const struct {
        const char* Name;
        TFloatRect Sp;
        TRect Mp;
        std::string Error;
    } rasFiles[] = {
        {"same pixel column",
         {0, 10, 10, 0},
         {5, 0, 5, 50},
         "The control points share a pixel column or row"},
        {"same world x",
         {7, 10, 7, 0},
         {0, 0, 100, 50},
         "Cannot handle a pixel width of 0 (it must be at least 1e-06 in size)"},
        {"vanishing height",
         {0, 1e-300, 10, 0},
         {0, 0, 100, 50},
         "Cannot handle a pixel height of 2e-302 (it must be at least 1e-06 in size)"},
        {"not finite",
         {0, 10, INFINITY, 0},
         {0, 0, 100, 50},
         "Cannot handle a pixel width of inf (it must be at least 1e-06 in size)"},
        {"map beyond 1e9",
         {0, 10, 3e9, 0},
         {0, 0, 100, 50},
         "Cannot handle a map reaching beyond +-1000000000 (0, 0 to 3000000000, 10)"},
    };
    const std::string ras = dir / "map.ras";
    for (const auto& c : rasFiles) {
        WriteRas(ras, 0x8B87, c.Sp, c.Mp);
        EXPECT_EQ(ErrorOf([&] { t.Open(); }), "Invalid georeferencing in " + ras + ": " + c.Error)
            << c.Name;
        EXPECT_FALSE(t.Active()) << c.Name;
        EXPECT_FALSE(t.HasPicture()) << c.Name;
        ExpectDesignValues();
    }
    // Small pixels, and a map reaching the limits, are fine.
    for (const TFloatRect& sp : {TFloatRect{0, 1e-4, 2e-4, 0}, TFloatRect{-1e9, 1e9, 1e9, -1e9}}) {
        WriteRas(ras, 0x8B87, sp, {0, 0, 100, 50});
        t.Open();
        EXPECT_TRUE(t.Active()) << sp.Right;
        EXPECT_DOUBLE_EQ(t.Extents().Right, sp.Right);
        t.Close();
    }
}

// The bitmap loader fills the rows missing from a truncated file and reports
// success; such a bitmap is refused, naming the file, before anything is loaded.
TEST_F(RasterTest, TruncatedBitmapIsRefused) {
    const std::string whole = testutil::ReadFileBytes(bmp);
    const std::string cut = dir / "cut.bmp";
    for (size_t missing : {size_t{1}, whole.size() / 2, whole.size() - 60}) {
        WriteText(cut, whole.substr(0, whole.size() - missing));
        t.SetDiskLocation(cut);
        EXPECT_EQ(ErrorOf([&] { t.Open(); }), "The bitmap " + cut + " is truncated: it holds " +
                                                  std::to_string(whole.size() - missing) +
                                                  " of the " + std::to_string(whole.size()) +
                                                  " bytes its header declares")
            << missing;
        EXPECT_FALSE(t.Active());
        EXPECT_FALSE(t.HasPicture());
    }
    // Bytes beyond what the header declares are no fault.
    WriteText(cut, whole + "trailing");
    t.Open();
    EXPECT_TRUE(t.Active());
}

// Smooth scaling: shown smaller, a one-pixel line of the picture still shows (it is
// averaged into its device pixels, not dropped); shown larger, edges are blended
// instead of drawn as blocks. Without it, the stretch drops and repeats pixels.
TEST_F(RasterTest, SmoothScalingAveragesAndInterpolates) {
    // 400 x 40 white with a black column every 4 pixels; 1 unit per pixel.
    QImage lines(400, 40, QImage::Format_RGB32);
    lines.fill(Qt::white);
    for (int x = 3; x < 400; x += 4)
        for (int y = 0; y < 40; ++y)
            lines.setPixel(x, y, qRgb(0, 0, 0));
    const std::string path = dir / "lines.bmp";
    lines.save(QString::fromStdString(path), "BMP");
    WriteText(dir / "lines.bpw", "1\n0\n0\n-1\n0.5\n39.5\n");
    t.SetDiskLocation(path);
    t.Open();
    ASSERT_EQ(t.Extents(), (TFloatRect{0, 40, 400, 0}));
    auto render = [&](bool smooth, const TFloatRect& vp, int w, int h) {
        t.SetSmoothScaling(smooth);
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::red);
        QPainter p(&img);
        t.Draw(vp, p, {0, 0, w, h}, nullptr);
        return img;
    };
    // A fifth of the size: every device pixel holds five image columns.
    for (bool smooth : {false, true}) {
        const QImage small = render(smooth, {0, 40, 400, 0}, 80, 8);
        int darkColumns = 0;
        for (int x = 0; x < 80; ++x)
            darkColumns += qGray(small.pixel(x, 4)) < 250;
        if (smooth)
            EXPECT_EQ(darkColumns, 80) << "every five columns hold a line";
        else
            EXPECT_LT(darkColumns, 80) << "dropped columns lose lines";
    }
    // Ten times the size, around the line at column 3: a blended edge.
    for (bool smooth : {false, true}) {
        const QImage big = render(smooth, {0, 40, 8, 39}, 80, 10);
        int grey = 0;
        for (int x = 0; x < 80; ++x) {
            const int g = qGray(big.pixel(x, 5));
            grey += g > 10 && g < 245;
        }
        if (smooth)
            EXPECT_GT(grey, 0);
        else
            EXPECT_EQ(grey, 0);
    }
    EXPECT_TRUE(messages.Messages.empty());
}
