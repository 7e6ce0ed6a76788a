// The background maps and their world files: read the way the raster layer reads
// them, checked against GDAL's own reading, and checked for real geography: known
// places (converted with PROJ from longitude/latitude) must fall on land or sea, and
// points of the GSHHG shoreline the maps were drawn from must fall on the drawn coast.

#include <QColor>
#include <QImage>
#include <QString>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <gdal.h>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <ogr_srs_api.h>
#include <optional>
#include <string>
#include <vector>

namespace {

const std::string kDataDir = QUADREL_SOURCE_DATA_DIR;

// The class colours of the maps (scripts/render_background.py, data/README.md).
struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};
constexpr Rgb kSea{170, 207, 228};
constexpr Rgb kLand{236, 231, 206};
constexpr Rgb kCoast{92, 139, 173};
constexpr Rgb kBorder{150, 96, 128};

enum class Kind { Land, Water };

// How much of a pixel is land and how much water. The maps blend the four class
// colours in eighths along every edge, so a pixel's colour can be split back into its
// shares: the colours are affinely independent, which makes colour = sum of share x
// class colour, with the shares adding up to one, a 4 x 4 linear system. Borders are
// drawn on land only and the coastline on the sea side only, so they count as such.
struct Shares {
    double land = 0, water = 0;
    double of(Kind k) const { return k == Kind::Land ? land : water; }
};

const std::array<Rgb, 4> kClasses{kSea, kCoast, kLand, kBorder};

// The shares of sea, coastline, land and border, in eighths.
std::array<double, 4> DecodeClasses(Rgb c) {
    const auto& k = kClasses;
    double m[4][5];
    for (int i = 0; i < 4; ++i) {
        m[0][i] = k[i].r;
        m[1][i] = k[i].g;
        m[2][i] = k[i].b;
        m[3][i] = 1;
    }
    m[0][4] = c.r;
    m[1][4] = c.g;
    m[2][4] = c.b;
    m[3][4] = 1;
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int row = col + 1; row < 4; ++row)
            if (std::abs(m[row][col]) > std::abs(m[pivot][col]))
                pivot = row;
        std::swap(m[col], m[pivot]);
        for (int row = 0; row < 4; ++row) {
            if (row == col)
                continue;
            const double f = m[row][col] / m[col][col];
            for (int j = col; j < 5; ++j)
                m[row][j] -= f * m[col][j];
        }
    }
    // The palette rounds each blend to whole colour values; back to eighths.
    std::array<double, 4> shares{};
    for (int i = 0; i < 4; ++i)
        shares[i] = std::round(m[i][4] / m[i][i] * 8) / 8;
    return shares;
}

Shares Decode(Rgb c) {
    const auto s = DecodeClasses(c);
    return {s[2] + s[3], s[0] + s[1]};
}

// A world file as the raster layer reads it: six numbers, '.' as decimal separator,
// whatever the locale; later lines are ignored.
std::optional<std::array<double, 6>> ReadWorldFile(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    std::array<double, 6> v{};
    std::string line;
    for (double& x : v) {
        if (!std::getline(in, line))
            return std::nullopt;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), x);
        if (ec != std::errc() || end != line.data() + line.size())
            return std::nullopt;
    }
    return v;
}

struct Extents {
    double left, top, right, bottom;
};

// The raster layer's georeferencing: control points at the outer pixel edges, from a
// world file whose C and F give the centre of the top-left pixel.
Extents RasterLayerExtents(const std::array<double, 6>& w, int width, int height) {
    const double a = w[0], e = w[3], c = w[4], f = w[5];
    const double sx1 = c - a * 0.5, sx2 = c + (width - 0.5) * a;
    double sy1, sy2;
    if (e < 0) {
        sy1 = f - e * 0.5;
        sy2 = f + (height - 0.5) * e;
    } else {
        sy1 = f + (height - 0.5) * e;
        sy2 = f - e * 0.5;
    }
    const double xs = std::abs(sx2 - sx1) / width, ys = std::abs(sy2 - sy1) / height;
    return {sx1, sy1, sx1 + width * xs, sy1 - height * ys};
}

struct Place {
    const char* name;
    double lat, lon;
    Kind kind;
};

struct LonLat {
    const char* name;
    double lat, lon;
};

struct MapCase {
    const char* name;
    int epsg;
    // The rectangle in the grid system's metres the map must cover.
    Extents mustCover;
    // Places in Europe that must lie on the map.
    std::vector<LonLat> mustShow;
    std::vector<Place> places;
    // Vertices of the GSHHG shoreline at the resolution the map was drawn from.
    std::vector<LonLat> shoreline;
};

void PrintTo(const MapCase& m, std::ostream* os) {
    *os << m.name;
}

const std::vector<Place> kDanishPlaces = {
    {"Copenhagen, City Hall Square", 55.6761, 12.5683, Kind::Land},
    {"Bornholm, Almindingen", 55.13, 14.92, Kind::Land},
    {"Odense", 55.3959, 10.3883, Kind::Land},
    {"Kattegat", 56.45, 11.85, Kind::Water},
    {"North Sea off Jutland", 56.0, 6.5, Kind::Water},
    {"Baltic Sea between Bornholm and Sweden", 55.5, 15.9, Kind::Water},
    {"Skagerrak", 58.0, 9.5, Kind::Water},
};

std::vector<Place> Join(std::vector<Place> a, const std::vector<Place>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Shoreline points lie on coasts running north-south or east-west with solid land
// behind them (not on spits, lagoons or narrow tips, where land and water mix over
// several pixels), chosen so that the check below holds for the map moved by one
// pixel in any direction and fails for it moved by two pixels in any of the four.
const MapCase kDkn{
    "dkn",
    25832,
    // The "All" preset.
    {140000, 6460000, 990000, 6020000},
    {},
    Join(kDanishPlaces, {{"Skagen", 57.7209, 10.5839, Kind::Land}}),
    {
        {"Grenen, Skagen's tip", 57.7479209583, 10.5916990921},
        {"Jutland's west coast at Husby", 56.2866712444, 8.12413214313},
        {"Zealand's north coast at Hornbaek", 56.0920576791, 12.4932478828},
        {"Oresund coast north of Copenhagen", 55.8208285649, 12.5808346685},
        {"Bornholm's west coast at Hasle", 55.2316319524, 14.719172961},
        {"Bornholm's south coast", 55.0503852903, 14.8033264668},
        {"Lolland's south coast", 54.5954222934, 11.5249408713},
    },
};

const MapCase kEuroGrid{
    "eurogrid",
    3035,
    // The grid's origin region around Denmark must be there at least.
    {4000000, 3800000, 4800000, 3300000},
    {
        {"North Cape", 71.17, 25.78},
        {"Cabo da Roca", 38.78, -9.50},
        {"Gavdos, south of Crete", 34.8, 24.08},
        {"Cape Andreas, Cyprus", 35.7, 34.6},
        {"Flores, Azores", 39.45, -31.2},
        {"El Hierro, Canary Islands", 27.7, -18.0},
        {"Iceland's west cape", 65.5, -24.5},
        {"Yekaterinburg, Urals", 56.8, 60.6},
        {"Polar Urals", 67.5, 64.0},
        {"Elbrus, Caucasus", 43.35, 42.44},
    },
    // At 6 km a pixel the town of Skagen is shoreline; its tip is checked below.
    Join(kDanishPlaces,
         {
             {"Paris", 48.8566, 2.3522, Kind::Land},
             {"Madrid", 40.4168, -3.7038, Kind::Land},
             {"Warsaw", 52.2297, 21.0122, Kind::Land},
             {"Lake Vanern", 59.0, 13.65, Kind::Water},
             {"Bay of Biscay", 45.5, -5.0, Kind::Water},
             {"Ionian Sea", 35.5, 18.0, Kind::Water},
             {"Atlantic west of Ireland", 50.0, -20.0, Kind::Water},
             {"Black Sea", 43.5, 34.0, Kind::Water},
         }),
    {
        {"Grenen, Skagen's tip", 57.7445639734, 10.5566491188},
        {"Jutland's west coast", 56.2116426337, 8.12916762036},
        {"Scania's south coast", 55.3737697414, 13.1316090639},
        {"Landes coast, France", 44.3480582895, -1.11390859846},
        {"Portugal's west coast", 40.3391317617, -8.83955138476},
        {"Cantabrian coast, Spain", 43.4029144732, -4.17509727626},
    },
};

// GDAL and OGR handles, released by RAII.
struct DatasetCloser {
    void operator()(void* h) const { GDALClose(h); }
};
using Dataset = std::unique_ptr<void, DatasetCloser>;
struct SrsReleaser {
    void operator()(void* h) const { OSRDestroySpatialReference(h); }
};
using Srs = std::unique_ptr<void, SrsReleaser>;
struct TransformReleaser {
    void operator()(void* h) const { OCTDestroyCoordinateTransformation(h); }
};
using Transform = std::unique_ptr<void, TransformReleaser>;

Srs MakeSrs(int epsg) {
    Srs s(OSRNewSpatialReference(nullptr));
    EXPECT_EQ(OSRImportFromEPSG(s.get(), epsg), OGRERR_NONE) << "EPSG:" << epsg;
    OSRSetAxisMappingStrategy(s.get(), OAMS_TRADITIONAL_GIS_ORDER);
    return s;
}

class Map : public ::testing::TestWithParam<MapCase> {
protected:
    void SetUp() override {
        const auto& m = GetParam();
        bmpPath_ = kDataDir + "/" + m.name + ".bmp";
        auto w = ReadWorldFile(kDataDir + "/" + m.name + ".bpw");
        ASSERT_TRUE(w) << "no readable world file beside " << bmpPath_;
        world_ = *w;
        ASSERT_TRUE(image_.load(QString::fromStdString(bmpPath_))) << bmpPath_;
        extents_ = RasterLayerExtents(world_, image_.width(), image_.height());

        Srs geo = MakeSrs(4326), grid = MakeSrs(m.epsg);
        toGrid_.reset(OCTNewCoordinateTransformation(geo.get(), grid.get()));
        ASSERT_TRUE(toGrid_);
    }

    std::pair<double, double> ToGrid(double lat, double lon) const {
        double x = lon, y = lat;
        EXPECT_TRUE(OCTTransform(toGrid_.get(), 1, &x, &y, nullptr));
        return {x, y};
    }

    bool Inside(double x, double y) const {
        return x > extents_.left && x < extents_.right && y > extents_.bottom && y < extents_.top;
    }

    // The pixel that holds a point of the grid system (edges at whole pixel numbers).
    std::pair<int, int> PixelOf(double x, double y) const {
        const double px = (x - extents_.left) * image_.width() / (extents_.right - extents_.left);
        const double py = (extents_.top - y) * image_.height() / (extents_.top - extents_.bottom);
        return {static_cast<int>(std::floor(px)), static_cast<int>(std::floor(py))};
    }

    Rgb ColourAt(int i, int j) const {
        QColor c = image_.pixelColor(i, j);
        return {c.red(), c.green(), c.blue()};
    }

    std::string bmpPath_;
    std::array<double, 6> world_{};
    QImage image_;
    Extents extents_{};
    Transform toGrid_;
};

TEST_P(Map, WorldFileHasSquareNorthUpPixelsAndNoRotation) {
    EXPECT_GT(world_[0], 0.0);
    EXPECT_EQ(world_[1], 0.0) << "row rotation term";
    EXPECT_EQ(world_[2], 0.0) << "column rotation term";
    EXPECT_EQ(world_[3], -world_[0]) << "pixel height must be the negative pixel width";
    // About a thousand pixels across, small enough to load at once.
    EXPECT_GE(image_.width(), 900);
    EXPECT_LE(image_.width(), 1200);
}

// GDAL reads the same .bpw beside a .bmp on its own; both readings must put the map's
// outer edges at the same place.
TEST_P(Map, RasterLayerAndGdalAgreeWhereTheMapLies) {
    Dataset ds(GDALOpen(bmpPath_.c_str(), GA_ReadOnly));
    ASSERT_TRUE(ds) << bmpPath_;
    ASSERT_EQ(GDALGetRasterXSize(ds.get()), image_.width());
    ASSERT_EQ(GDALGetRasterYSize(ds.get()), image_.height());
    std::array<double, 6> gt{};
    ASSERT_EQ(GDALGetGeoTransform(ds.get(), gt.data()), CE_None) << "GDAL found no world file";
    EXPECT_EQ(gt[2], 0.0);
    EXPECT_EQ(gt[4], 0.0);
    const double tol = 1e-6;
    EXPECT_NEAR(extents_.left, gt[0], tol);
    EXPECT_NEAR(extents_.top, gt[3], tol);
    EXPECT_NEAR(extents_.right, gt[0] + image_.width() * gt[1], tol);
    EXPECT_NEAR(extents_.bottom, gt[3] + image_.height() * gt[5], tol);
}

// Qt's loader is the program's; GDAL's is an independent one. Every pixel must agree.
TEST_P(Map, QtAndGdalDecodeTheSamePicture) {
    Dataset ds(GDALOpen(bmpPath_.c_str(), GA_ReadOnly));
    ASSERT_TRUE(ds);
    ASSERT_EQ(GDALGetRasterCount(ds.get()), 1) << "expected a palette bitmap";
    GDALRasterBandH band = GDALGetRasterBand(ds.get(), 1);
    GDALColorTableH table = GDALGetRasterColorTable(band);
    ASSERT_TRUE(table);
    const int w = image_.width(), h = image_.height();
    std::vector<unsigned char> index(static_cast<size_t>(w) * h);
    ASSERT_EQ(GDALRasterIO(band, GF_Read, 0, 0, w, h, index.data(), w, h, GDT_Byte, 0, 0), CE_None);
    int mismatches = 0;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const GDALColorEntry* e = GDALGetColorEntry(table, index[size_t(j) * w + i]);
            ASSERT_TRUE(e);
            if (!(ColourAt(i, j) == Rgb{e->c1, e->c2, e->c3}) && ++mismatches <= 3)
                ADD_FAILURE() << "pixel (" << i << ", " << j << ") differs";
        }
    EXPECT_EQ(mismatches, 0);
}

TEST_P(Map, CoversItsArea) {
    const auto& m = GetParam();
    EXPECT_LE(extents_.left, m.mustCover.left);
    EXPECT_GE(extents_.right, m.mustCover.right);
    EXPECT_GE(extents_.top, m.mustCover.top);
    EXPECT_LE(extents_.bottom, m.mustCover.bottom);
    for (const auto& p : m.mustShow) {
        auto [x, y] = ToGrid(p.lat, p.lon);
        EXPECT_TRUE(Inside(x, y)) << p.name << " at (" << x << ", " << y << ") is off the map";
    }
}

// A place lies on land (or water) to within one pixel: its own pixel or one of its
// eight neighbours is mostly land (or water).
TEST_P(Map, KnownPlacesFallOnLandOrSeaWithinOnePixel) {
    for (const auto& p : GetParam().places) {
        auto [x, y] = ToGrid(p.lat, p.lon);
        ASSERT_TRUE(Inside(x, y)) << p.name;
        auto [i, j] = PixelOf(x, y);
        double best = 0;
        for (int dj = -1; dj <= 1; ++dj)
            for (int di = -1; di <= 1; ++di)
                best = std::max(best, Decode(ColourAt(i + di, j + dj)).of(p.kind));
        const Shares own = Decode(ColourAt(i, j));
        EXPECT_GT(best, 0.5) << p.name << ": pixel (" << i << ", " << j << ") and its neighbours"
                             << " are not mostly " << (p.kind == Kind::Land ? "land" : "water")
                             << "; the pixel itself is " << own.land * 100 << " % land";
    }
}

// A point of the shoreline must lie within one pixel of both land and water. A map
// placed two pixels off puts these points amid open land or open sea.
TEST_P(Map, ShorelineFallsOnTheDrawnCoastWithinOnePixel) {
    for (const auto& p : GetParam().shoreline) {
        auto [x, y] = ToGrid(p.lat, p.lon);
        ASSERT_TRUE(Inside(x, y)) << p.name;
        auto [i, j] = PixelOf(x, y);
        bool land = false, water = false;
        for (int dj = -1; dj <= 1; ++dj)
            for (int di = -1; di <= 1; ++di) {
                const Shares s = Decode(ColourAt(i + di, j + dj));
                land |= s.land > 0;
                water |= s.water > 0;
            }
        EXPECT_TRUE(land && water) << p.name << " at pixel (" << i << ", " << j
                                   << ") is not on the coast: land " << land << ", water " << water;
    }
}

// Splitting colours into shares is what the checks above stand on: every colour of
// the palette must be a blend of the class colours in eighths.
TEST_P(Map, EveryColourIsABlendOfTheClassColoursInEighths) {
    ASSERT_EQ(image_.format(), QImage::Format_Indexed8);
    ASSERT_FALSE(image_.colorTable().empty());
    for (const QRgb entry : image_.colorTable()) {
        const Rgb c{qRed(entry), qGreen(entry), qBlue(entry)};
        const auto shares = DecodeClasses(c);
        double sum = 0, r = 0, g = 0, b = 0;
        for (size_t k = 0; k < shares.size(); ++k) {
            EXPECT_GE(shares[k], 0.0);
            sum += shares[k];
            r += shares[k] * kClasses[k].r;
            g += shares[k] * kClasses[k].g;
            b += shares[k] * kClasses[k].b;
        }
        EXPECT_DOUBLE_EQ(sum, 1.0);
        EXPECT_NEAR(r, c.r, 0.5) << "(" << c.r << ", " << c.g << ", " << c.b << ")";
        EXPECT_NEAR(g, c.g, 0.5) << "(" << c.r << ", " << c.g << ", " << c.b << ")";
        EXPECT_NEAR(b, c.b, 0.5) << "(" << c.r << ", " << c.g << ", " << c.b << ")";
    }
}

// Land, sea, coastline and borders are drawn in exactly the colours the program's
// documentation and the checks above rely on.
TEST_P(Map, ShowsLandSeaCoastAndBordersInTheirColours) {
    size_t land = 0, sea = 0, coast = 0, border = 0;
    for (int j = 0; j < image_.height(); ++j)
        for (int i = 0; i < image_.width(); ++i) {
            const Rgb c = ColourAt(i, j);
            land += c == kLand;
            sea += c == kSea;
            coast += c == kCoast;
            border += c == kBorder;
        }
    const size_t all = size_t(image_.width()) * image_.height();
    EXPECT_GT(land, all / 10);
    EXPECT_GT(sea, all / 10);
    EXPECT_GT(coast, 0u);
    EXPECT_GT(border, 0u);
}

INSTANTIATE_TEST_SUITE_P(BackgroundMaps, Map, ::testing::Values(kDkn, kEuroGrid),
                         [](const auto& info) { return std::string(info.param.name); });

// The reading the checks above rely on, on a small case worked by hand: a 100 x 50
// image with A = 10, E = -10, C = 1005, F = 1995 covers 1000..2000 by 1500..2000.
TEST(WorldFileReader, PixelCentreOfTheTopLeftPixelGivesTheOuterEdges) {
    const Extents e = RasterLayerExtents({10, 0, 0, -10, 1005, 1995}, 100, 50);
    EXPECT_DOUBLE_EQ(e.left, 1000);
    EXPECT_DOUBLE_EQ(e.top, 2000);
    EXPECT_DOUBLE_EQ(e.right, 2000);
    EXPECT_DOUBLE_EQ(e.bottom, 1500);
}

class GdalEnvironment : public ::testing::Environment {
public:
    void SetUp() override { GDALAllRegister(); }
    void TearDown() override { GDALDestroy(); }
};

const auto* const kGdal = ::testing::AddGlobalTestEnvironment(new GdalEnvironment);

} // namespace
