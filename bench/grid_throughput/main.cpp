// The whole generation run without dialogs (a silent user, the real file system)
// for DKN 100 m cells to SHP and to MIF, and the same cells written through GDAL's
// shapefile driver (OGR C API) with the same field and rings; prints cells per
// second, MB/s, peak memory and the ratio against GDAL.
//
// Every case runs in a child process of its own, so its peak resident set size
// (getrusage ru_maxrss) is its own; the grid is written once with 1000 x 1000 cells
// and once with 1000 x 100, to show whether the peak grows with the number of cells.
//
//   bench_grid_throughput [--columns N] [--rows R] [--runs K] [--dir FOLDER]

#include "generation_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace quadrel;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double X0 = 500000, Y0 = 6100000, Size = 100;

// The run's user when nobody is there: the folder is given, the answer is Yes.
class SilentUser : public TRunUserInterface {
public:
    explicit SilentUser(std::string Folder) : FFolder(std::move(Folder)) {}
    bool ChooseFolder(const std::string&, const std::string&, std::string& Folder) override {
        Folder = FFolder;
        return true;
    }
    bool AskYesNo(const std::string&) override { return true; }
    void ShowMessage(const std::string&) override {}
    void SetProgressMax(int32_t) override {}
    void SetProgressPosition(int32_t) override {}
    void SetBusyCursor() override {}
    void RestoreCursor() override {}
    void ProcessMessages() override {}

private:
    std::string FFolder;
};

struct Grid {
    int32_t Columns, Rows;
    int64_t Cells() const { return int64_t{Columns} * Rows; }
};

void RunOurs(int32_t Format, const Grid& g, const std::string& Folder) {
    TGridState state;
    state.ChooseGridKind(gkDKN);
    state.ChooseFormat(Format);
    state.ChooseSize(FindSizeByLabel(gkDKN, "100m")->Tag);
    state.SetCorners({X0, Y0}, {X0 + Size * g.Columns, Y0 + Size * g.Rows});
    SilentUser user(Folder);
    TGenerationRun run;
    if (run.Execute(state, user).Outcome != TRunOutcome::Done) {
        std::fprintf(stderr, "the run was refused\n");
        std::exit(1);
    }
}

// The same cells, column by column, through GDAL's fastest ordinary path: one
// feature and one polygon reused for every cell.
void RunGdal(const Grid& g, const std::string& Folder) {
    GDALAllRegister();
    GDALDriverH driver = GDALGetDriverByName("ESRI Shapefile");
    const std::string path = Folder + "/DKN_100m_gdal.shp";
    GDALDatasetH ds = GDALCreate(driver, path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    if (!ds) {
        std::fprintf(stderr, "GDAL cannot create %s\n", path.c_str());
        std::exit(1);
    }
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, 25832);
    OGRLayerH layer = GDALDatasetCreateLayer(ds, "DKN_100m_gdal", srs, wkbPolygon, nullptr);
    OGRFieldDefnH field = OGR_Fld_Create("KN100mDK", OFTString);
    OGR_Fld_SetWidth(field, 20);
    OGR_L_CreateField(layer, field, TRUE);
    OGR_Fld_Destroy(field);

    OGRFeatureH feature = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    OGRGeometryH polygon = OGR_G_CreateGeometry(wkbPolygon);
    OGRGeometryH ring = OGR_G_CreateGeometry(wkbLinearRing);
    for (int k = 0; k < 5; ++k)
        OGR_G_AddPoint_2D(ring, 0, 0);
    OGR_G_AddGeometryDirectly(polygon, ring);
    ring = OGR_G_GetGeometryRef(polygon, 0);
    char name[64];
    for (int32_t i = 0; i < g.Columns; ++i) {
        const double x = X0 + Size * i;
        for (int32_t j = 0; j < g.Rows; ++j) {
            const double y = Y0 + Size * j;
            OGR_G_SetPoint_2D(ring, 0, x, y);
            OGR_G_SetPoint_2D(ring, 1, x, y + Size);
            OGR_G_SetPoint_2D(ring, 2, x + Size, y + Size);
            OGR_G_SetPoint_2D(ring, 3, x + Size, y);
            OGR_G_SetPoint_2D(ring, 4, x, y);
            std::snprintf(name, sizeof name, "100m_%ld_%ld", static_cast<long>(y) / 100,
                          static_cast<long>(x) / 100);
            OGR_F_SetFieldString(feature, 0, name);
            OGR_F_SetGeometry(feature, polygon);
            OGR_F_SetFID(feature, OGRNullFID);
            if (OGR_L_CreateFeature(layer, feature) != OGRERR_NONE) {
                std::fprintf(stderr, "GDAL cannot write a cell\n");
                std::exit(1);
            }
        }
    }
    OGR_G_DestroyGeometry(polygon);
    OGR_F_Destroy(feature);
    OSRDestroySpatialReference(srs);
    GDALClose(ds);
}

enum class Case { Shp, Mif, Gdal };

const char* CaseName(Case c) {
    switch (c) {
    case Case::Shp:
        return "run, ESRI SHP";
    case Case::Mif:
        return "run, MapInfo MIF";
    case Case::Gdal:
        return "GDAL ESRI Shapefile";
    }
    return "?";
}

struct Result {
    double seconds = 0;
    long baseKiB = 0; // resident set before writing
    long peakKiB = 0; // peak resident set of the child
    uint64_t bytes = 0;
};

uint64_t OutputBytes(const std::string& Folder) {
    uint64_t total = 0;
    for (const auto& e : std::filesystem::directory_iterator(Folder))
        if (e.is_regular_file())
            total += e.file_size();
    return total;
}

Result RunInChild(Case c, const Grid& g, const std::string& Folder) {
    int fds[2];
    if (pipe(fds) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        Result r;
        r.baseKiB = before.ru_maxrss;
        const auto t0 = Clock::now();
        switch (c) {
        case Case::Shp:
            RunOurs(ftSHP, g, Folder);
            break;
        case Case::Mif:
            RunOurs(ftMIF, g, Folder);
            break;
        case Case::Gdal:
            RunGdal(g, Folder);
            break;
        }
        r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        r.bytes = OutputBytes(Folder);
        if (write(fds[1], &r, sizeof r) != static_cast<ssize_t>(sizeof r))
            _exit(1);
        _exit(0);
    }
    close(fds[1]);
    Result r;
    const bool got = read(fds[0], &r, sizeof r) == static_cast<ssize_t>(sizeof r);
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", CaseName(c));
        std::exit(1);
    }
    r.peakKiB = usage.ru_maxrss;
    for (const auto& e : std::filesystem::directory_iterator(Folder))
        std::filesystem::remove(e.path());
    return r;
}

// Median time of several runs; the largest peak of them.
Result Measure(Case c, const Grid& g, const std::string& Folder, int Runs) {
    std::vector<Result> all;
    for (int i = 0; i < Runs; ++i)
        all.push_back(RunInChild(c, g, Folder));
    std::sort(all.begin(), all.end(),
              [](const Result& a, const Result& b) { return a.seconds < b.seconds; });
    Result r = all[all.size() / 2];
    for (const Result& x : all)
        r.peakKiB = std::max(r.peakKiB, x.peakKiB);
    return r;
}

} // namespace

int main(int argc, char** argv) {
    Grid grid{1000, 1000};
    int runs = 3;
    std::string dir;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--columns")
            grid.Columns = std::max(1, std::atoi(argv[i + 1]));
        else if (opt == "--rows")
            grid.Rows = std::max(1, std::atoi(argv[i + 1]));
        else if (opt == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (opt == "--dir")
            dir = argv[i + 1];
    }
    const bool ownDir = dir.empty();
    if (ownDir) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "bench-grid-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) {
            std::perror("mkdtemp");
            return 1;
        }
        dir = tmpl;
    }

    std::printf("DKN 100 m cells from (%.0f, %.0f), column by column; median of %d runs, each in\n"
                "its own process; peak = ru_maxrss of that process. The run includes the side\n"
                "files, the checks of the folder and Close.\n\n",
                X0, Y0, runs);
    std::printf("%-20s %9s %9s %9s %12s %9s %9s %8s %8s\n", "case", "cells", "grid", "seconds",
                "cells/s", "vs GDAL", "MB/s", "MB out", "peak MB");
    for (const Grid g : {grid, Grid{grid.Columns, std::max(1, grid.Rows / 10)}}) {
        const Result gdal = Measure(Case::Gdal, g, dir, runs);
        const std::string shape = std::to_string(g.Columns) + "x" + std::to_string(g.Rows);
        for (Case c : {Case::Shp, Case::Mif, Case::Gdal}) {
            const Result r = c == Case::Gdal ? gdal : Measure(c, g, dir, runs);
            const double cells = static_cast<double>(g.Cells());
            const double rate = cells / r.seconds;
            std::printf("%-20s %9lld %9s %9.3f %12.0f %8.1fx %9.1f %8.1f %8.1f\n", CaseName(c),
                        static_cast<long long>(g.Cells()), shape.c_str(), r.seconds, rate,
                        rate / (cells / gdal.seconds),
                        static_cast<double>(r.bytes) / 1e6 / r.seconds,
                        static_cast<double>(r.bytes) / 1e6, static_cast<double>(r.peakKiB) / 1024);
        }
        std::printf("\n");
    }
    if (ownDir)
        std::filesystem::remove_all(dir);
    return 0;
}
