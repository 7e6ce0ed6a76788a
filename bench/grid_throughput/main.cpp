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
#include "measure.h"
#include "silent_user.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace quadrel;

namespace {

constexpr double X0 = 500000, Y0 = 6100000, Size = 100;

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
    benchutil::SilentUser user(Folder);
    TGenerationRun run;
    if (run.Execute(state, user).Outcome != TRunOutcome::Done) {
        std::fprintf(stderr, "the run was refused\n");
        std::exit(1);
    }
}

// The same cells through GDAL's shapefile driver, named as the run names them.
void RunGdal(const Grid& g, const std::string& Folder) {
    const benchutil::SquareGrid squares{X0, Y0, Size, g.Cells(), g.Rows};
    auto name = [](int64_t, int64_t, double x, double y, char(&Name)[64]) {
        std::snprintf(Name, sizeof Name, "100m_%ld_%ld", static_cast<long>(y) / 100,
                      static_cast<long>(x) / 100);
    };
    benchutil::WriteSquaresWithGdal(squares, name, "ESRI Shapefile", Folder + "/DKN_100m_gdal.shp",
                                    nullptr, "DKN_100m_gdal", "KN100mDK", 25832);
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

benchutil::Result Measure(Case c, const Grid& g, const std::string& Folder, int Runs) {
    auto work = [&] {
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
    };
    return benchutil::Measure(CaseName(c), work, Folder, Runs);
}

} // namespace

int main(int argc, char** argv) {
    const benchutil::GridOptions options = benchutil::ParseGridOptions(argc, argv);
    const Grid grid{options.Columns, options.Rows};
    const int runs = options.Runs;
    const benchutil::OutputFolder folder(options.Dir, "bench-grid");

    std::printf("DKN 100 m cells from (%.0f, %.0f), column by column; median of %d runs, each in\n"
                "its own process; peak = ru_maxrss of that process. The run includes the side\n"
                "files, the checks of the folder and Close.\n\n",
                X0, Y0, runs);
    std::printf("%-20s %9s %9s %9s %12s %9s %9s %8s %8s\n", "case", "cells", "grid", "seconds",
                "cells/s", "vs GDAL", "MB/s", "MB out", "peak MB");
    for (const Grid g : {grid, Grid{grid.Columns, std::max(1, grid.Rows / 10)}}) {
        const benchutil::Result gdal = Measure(Case::Gdal, g, folder.path(), runs);
        const std::string shape = std::to_string(g.Columns) + "x" + std::to_string(g.Rows);
        for (Case c : {Case::Shp, Case::Mif, Case::Gdal}) {
            const benchutil::Result r = c == Case::Gdal ? gdal : Measure(c, g, folder.path(), runs);
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
    return 0;
}
