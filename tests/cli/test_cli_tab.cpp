// The built quadrel-cli writing MapInfo TAB, as a user runs it: the program binds
// the MITAB library at start, and the table it writes opens in GDAL with the right
// cells, names, styles and projection; a table MITAB cannot create is an error.

#include "temp_dir.h"

#include <fcntl.h>
#include <filesystem>
#include <gdal.h>
#include <gtest/gtest.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string Program = QUADREL_CLI;

struct Result {
    int Status = -1; // exit status; -1 when the program did not exit normally
    std::string Out, Err;
};

// Runs quadrel-cli with Args, standard input from /dev/null, output to files.
Result RunCli(const std::vector<std::string>& Args) {
    testutil::TempDir capture;
    const std::string outFile = capture / "stdout", errFile = capture / "stderr";
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(Program.c_str())};
        for (const std::string& a : Args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(Program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Result r;
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.Out = testutil::ReadFileBytes(outFile);
    r.Err = testutil::ReadFileBytes(errFile);
    return r;
}

std::set<std::string> FilesIn(const fs::path& Folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(Folder))
        names.insert(e.path().filename().string());
    return names;
}

using Ring = std::vector<std::pair<double, double>>;

struct Feature {
    std::string Id;
    Ring Outline;
    std::string Style;
};

// The features of the table with GDAL's MapInfo driver, and the UTM zone of its
// projection (negative for the south).
std::vector<Feature> ReadTab(const std::string& Path, int& UtmZone) {
    GDALAllRegister();
    std::vector<Feature> features;
    const char* const drivers[] = {"MapInfo File", nullptr};
    GDALDatasetH ds =
        GDALOpenEx(Path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers, nullptr, nullptr);
    if (!ds) {
        ADD_FAILURE() << "GDAL cannot open " << Path;
        return features;
    }
    OGRLayerH layer = GDALDatasetGetLayer(ds, 0);
    while (OGRFeatureH f = OGR_L_GetNextFeature(layer)) {
        Feature feature{OGR_F_GetFieldAsString(f, 0), {}, ""};
        if (const char* style = OGR_F_GetStyleString(f))
            feature.Style = style;
        OGRGeometryH g = OGR_F_GetGeometryRef(f);
        if (g && wkbFlatten(OGR_G_GetGeometryType(g)) == wkbPolygon) {
            OGRGeometryH ring = OGR_G_GetGeometryRef(g, 0);
            for (int k = 0; k < OGR_G_GetPointCount(ring); ++k)
                feature.Outline.emplace_back(OGR_G_GetX(ring, k), OGR_G_GetY(ring, k));
        }
        features.push_back(std::move(feature));
        OGR_F_Destroy(f);
    }
    int north = 0;
    UtmZone = 0;
    if (OGRSpatialReferenceH srs = OGR_L_GetSpatialRef(layer))
        UtmZone = OSRGetUTMZone(srs, &north) * (north ? 1 : -1);
    GDALClose(ds);
    return features;
}

Ring Square(double X, double Y, double Size) {
    return {{X, Y}, {X, Y + Size}, {X + Size, Y + Size}, {X + Size, Y}, {X, Y}};
}

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
    int zone = 0;
    const std::vector<Feature> cells = ReadTab(dir / "DKN_250m_euref89.tab", zone);
    EXPECT_EQ(zone, 32);
    ASSERT_EQ(cells.size(), 6u);
    for (size_t i = 0; i < cells.size(); ++i) {
        const double x = 440000 + 250.0 * static_cast<double>(i / 3);
        const double y = 6200000 + 250.0 * static_cast<double>(i % 3);
        const std::string id = "250m_" + std::to_string(static_cast<int>(y) / 10) + "_" +
                               std::to_string(static_cast<int>(x) / 10);
        SCOPED_TRACE(id);
        EXPECT_EQ(cells[i].Id, id);
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
