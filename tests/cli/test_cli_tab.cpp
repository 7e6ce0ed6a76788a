// The built quadrel-cli writing MapInfo TAB, as a user runs it: the program binds
// the MITAB library at start, and the table it writes opens in GDAL with the right
// cells, names, styles and projection; a table MITAB cannot create is an error.

#include "cli_runner.h"
#include "ogr_layer.h"
#include "temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

namespace fs = std::filesystem;

namespace {

using clitest::Result;
using clitest::RunCli;
using testutil::FilesIn;
using testutil::Square;

TEST(QuadrelCliTab, WritesATableGdalOpens) {
    testutil::TempDir dir;
    const Result r =
        RunCli({"--grid", "dkn", "--size", "250m", "--corners", "440000,6200000,440500,6200750",
                "--format", "tab", "--output", dir.path().string(), "--yes"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "") << "no notice: TAB is not replaced by MIF/MID";
    EXPECT_NE(r.Out.find("6 cells written to " + (dir / "DKN_250m_euref89.tab")), std::string::npos)
        << r.Out;
    EXPECT_EQ(FilesIn(dir.path()),
              (std::set<std::string>{"DKN_250m_euref89.tab", "DKN_250m_euref89.map",
                                     "DKN_250m_euref89.dat", "DKN_250m_euref89.id"}));
    const testutil::OgrLayer table =
        testutil::ReadOgrLayer(dir / "DKN_250m_euref89.tab", {.Driver = "MapInfo File"});
    EXPECT_EQ(table.UtmZone, 32);
    const std::vector<testutil::OgrFeature>& cells = table.Features;
    ASSERT_EQ(cells.size(), 6u);
    for (size_t i = 0; i < cells.size(); ++i) {
        const double x = 440000 + 250.0 * static_cast<double>(i / 3);
        const double y = 6200000 + 250.0 * static_cast<double>(i % 3);
        const std::string id = "250m_" + std::to_string(static_cast<int>(y) / 10) + "_" +
                               std::to_string(static_cast<int>(x) / 10);
        SCOPED_TRACE(id);
        ASSERT_FALSE(cells[i].Values.empty());
        EXPECT_EQ(cells[i].Values[0], id);
        EXPECT_EQ(cells[i].Outline, Square(x, y, 250));
        EXPECT_NE(cells[i].Style.find("PEN(w:1px,c:#ffc000"), std::string::npos)
            << "the 250 m orange: " << cells[i].Style;
        EXPECT_NE(cells[i].Style.find("BRUSH(fc:#ffffff"), std::string::npos) << cells[i].Style;
    }
}

// A folder of the table's name stands where the ".tab" must go: MITAB cannot create
// the table (even for root). The program says so and exits with the run's failure
// status instead of reporting cells written.
TEST(QuadrelCliTab, TableThatCannotBeCreatedFailsTheRun) {
    testutil::TempDir dir;
    fs::create_directories(dir.path() / "DKN_1km_euref89.tab");
    const Result r = RunCli({"--grid", "dkn", "--corners", "440000,6200000,443000,6202000",
                             "--format", "tab", "--output", dir.path().string(), "--yes"});
    EXPECT_EQ(r.Status, 3);
    EXPECT_NE(r.Err.find("quadrel-cli: error: Cannot create file \"" +
                         (dir / "DKN_1km_euref89.tab") + "\"."),
              std::string::npos)
        << r.Err;
    EXPECT_EQ(r.Out.find("cells written"), std::string::npos) << r.Out;
    EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{"DKN_1km_euref89.tab"});
}

} // namespace
