// quadrel-cli writing the formats the window does not offer (GML, CSV, KML,
// GeoJSON) and GeoPackage, run as a user runs it and read back with GDAL.

#include "cli_runner.h"
#include "ogr_layer.h"
#include "temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

namespace fs = std::filesystem;

namespace {

using clitest::Result;
using testutil::FilesIn;

// Runs quadrel-cli with standard error into standard output, in order.
Result RunCli(const std::vector<std::string>& Args) {
    return clitest::RunCli(Args, clitest::Stderr::WithStdout);
}

struct Box {
    double MinX, MaxX, MinY, MaxY;
};

// Every format, both grid systems: the files, the cell count GDAL finds, and where
// the grid lies: in grid metres, or for KML in WGS 84 degrees over Denmark.
TEST(QuadrelCliFormats, EveryGridInEveryFormatReadsBackWithGdal) {
    struct Grid {
        std::vector<std::string> args;
        std::string prefix;
        long long cells;
        int epsg;
        Box metres;
        Box degrees; // around the grid, for KML
        std::string firstValue;
    };
    const Grid grids[] = {
        {{"--grid", "dkn", "--size", "10km", "--area", "Bornholm"},
         "DKN_10km_euref89",
         20,
         25832,
         {860000, 900000, 6100000, 6150000},
         {14.5, 15.4, 54.85, 55.4},
         "10km_610_86"},
        {{"--grid", "eurogrid", "--size", "100km", "--corners", "4300000,3500000,4700000,3800000"},
         "EuroGrid_100km",
         12,
         3035,
         {4300000, 4700000, 3500000, 3800000},
         {9.0, 17.0, 54.0, 57.5},
         "4300000"},
    };
    struct Format {
        std::string name;
        std::vector<std::string> extensions; // the first is the one GDAL opens
        bool geometry;
        bool lonLat;
        bool namesCrs;
    };
    const Format formats[] = {
        {"gml", {".xml", ".xsd"}, true, false, false},
        {"csv", {".csv"}, false, false, false},
        {"kml", {".kml"}, true, true, true},
        {"geojson", {".geojson"}, true, false, true},
        {"gpkg", {".gpkg"}, true, false, true},
    };
    for (const Grid& g : grids) {
        for (const Format& f : formats) {
            SCOPED_TRACE(g.prefix + " " + f.name);
            testutil::TempDir dir;
            std::vector<std::string> args = g.args;
            for (const std::string& a :
                 {std::string("--format"), f.name, std::string("--output"), dir.path().string()})
                args.push_back(a);
            const Result r = RunCli(args);
            const std::string main = dir / (g.prefix + f.extensions[0]);
            ASSERT_EQ(r.Status, 0) << r.Out;
            EXPECT_TRUE(r.Out.ends_with("Done\n" + std::to_string(g.cells) + " cells written to " +
                                        main + "\n"))
                << r.Out;
            std::set<std::string> files;
            for (const auto& ext : f.extensions)
                files.insert(g.prefix + ext);
            EXPECT_EQ(FilesIn(dir.path()), files);

            const testutil::OgrLayer read = testutil::ReadOgrLayer(main);
            EXPECT_EQ(read.FeatureCount, g.cells);
            const std::string firstValue = read.Features.empty() || read.Features[0].Values.empty()
                                               ? ""
                                               : read.Features[0].Values[0];
            if (f.namesCrs) {
                EXPECT_EQ(read.Epsg, f.lonLat ? 4326 : g.epsg);
            }
            if (f.lonLat) {
                EXPECT_EQ(firstValue, "Record: 0");
                EXPECT_GT(read.Extent.MinX, g.degrees.MinX);
                EXPECT_LT(read.Extent.MaxX, g.degrees.MaxX);
                EXPECT_GT(read.Extent.MinY, g.degrees.MinY);
                EXPECT_LT(read.Extent.MaxY, g.degrees.MaxY);
            } else {
                EXPECT_EQ(firstValue, g.firstValue);
                if (f.geometry) {
                    EXPECT_EQ(read.Extent.MinX, g.metres.MinX);
                    EXPECT_EQ(read.Extent.MaxX, g.metres.MaxX);
                    EXPECT_EQ(read.Extent.MinY, g.metres.MinY);
                    EXPECT_EQ(read.Extent.MaxY, g.metres.MaxY);
                }
            }
        }
    }
}

// The size estimate of a dry run follows the format.
TEST(QuadrelCliFormats, DryRunEstimatesByFormat) {
    const struct {
        const char* format;
        const char* lines;
    } cases[] = {
        {"kml", "Format: KML\nFiles: DKN_10km_euref89.kml\nCells: 20\n"
                "Size estimate: 12000 bytes (12.0 kB)\n"},
        {"geojson", "Format: GeoJSON\nFiles: DKN_10km_euref89.geojson\nCells: 20\n"
                    "Size estimate: 4800 bytes (4.8 kB)\n"},
        {"csv", "Format: CSV\nFiles: DKN_10km_euref89.csv\nCells: 20\n"
                "Size estimate: 560 bytes\n"},
        {"gml", "Format: GML 2.1.2\nFiles: DKN_10km_euref89.xml\nCells: 20\n"
                "Size estimate: 9240 bytes (9.2 kB)\n"},
        {"gpkg", "Format: OGC GeoPackage\nFiles: DKN_10km_euref89.gpkg\nCells: 20\n"
                 "Size estimate: 4600 bytes (4.6 kB)\n"},
    };
    for (const auto& c : cases) {
        const Result r = RunCli({"--grid", "dkn", "--size", "10km", "--area", "Bornholm",
                                 "--format", c.format, "--dry-run"});
        EXPECT_EQ(r.Status, 0) << r.Out;
        EXPECT_TRUE(r.Out.ends_with(c.lines)) << r.Out;
    }
}

} // namespace
