// The whole generation run without dialogs to an OGC GeoPackage (DKN 100 m cells,
// with the spatial index and the style), against the same cells written through
// GDAL's GeoPackage driver (OGR C API, one transaction, the same KN100mDK text field
// of width 20, the same five-point rings, GDAL's own spatial index); prints cells per
// second, the ratio against GDAL, the CPU time and the peak memory.
//
// Every case runs in a child process of its own, so its peak resident set size
// (getrusage ru_maxrss) is its own; the grid is written once with 1000 x 1000 cells
// and once with 1000 x 100, to show whether the peak grows with the number of cells.
//
//   bench_gpkg_throughput [--columns N] [--rows R] [--runs K] [--dir FOLDER]

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

void RunOurs(const Grid& g, const std::string& Folder) {
    TGridState state;
    state.ChooseGridKind(gkDKN);
    state.ChooseFormat(ftGPKG);
    state.ChooseSize(FindSizeByLabel(gkDKN, "100m")->Tag);
    state.SetCorners({X0, Y0}, {X0 + Size * g.Columns, Y0 + Size * g.Rows});
    benchutil::SilentUser user(Folder);
    TGenerationRun run;
    if (run.Execute(state, user).Outcome != TRunOutcome::Done) {
        std::fprintf(stderr, "the run was refused\n");
        std::exit(1);
    }
}

// The same cells through GDAL's GeoPackage driver, named as the run names them.
void RunGdal(const Grid& g, const std::string& Folder) {
    const benchutil::SquareGrid squares{X0, Y0, Size, g.Cells(), g.Rows};
    auto name = [](int64_t, int64_t, double x, double y, char(&Name)[64]) {
        std::snprintf(Name, sizeof Name, "100m_%ld_%ld", static_cast<long>(y) / 100,
                      static_cast<long>(x) / 100);
    };
    benchutil::WriteSquaresWithGdal(squares, name, "GPKG", Folder + "/DKN_100m_gdal.gpkg", nullptr,
                                    "DKN_100m_gdal", "KN100mDK", 25832);
}

} // namespace

int main(int argc, char** argv) {
    const benchutil::GridOptions options = benchutil::ParseGridOptions(argc, argv);
    const Grid grid{options.Columns, options.Rows};
    const int runs = options.Runs;
    const benchutil::OutputFolder folder(options.Dir, "bench-gpkg");

    std::printf("DKN 100 m cells from (%.0f, %.0f), column by column; median of %d runs, each in\n"
                "its own process; peak = ru_maxrss of that process; CPU = its user and system\n"
                "time. The run includes the checks of the folder, the index, the style and\n"
                "Close (the file synced to disk).\n\n",
                X0, Y0, runs);
    std::printf("%-20s %9s %9s %9s %9s %12s %9s %8s %8s\n", "case", "cells", "grid", "seconds",
                "CPU s", "cells/s", "vs GDAL", "MB out", "peak MB");
    for (const Grid g : {grid, Grid{grid.Columns, std::max(1, grid.Rows / 10)}}) {
        const benchutil::Result gdal = benchutil::Measure(
            "GDAL GPKG", [&] { RunGdal(g, folder.path()); }, folder.path(), runs);
        const benchutil::Result ours = benchutil::Measure(
            "run, GeoPackage", [&] { RunOurs(g, folder.path()); }, folder.path(), runs);
        const std::string shape = std::to_string(g.Columns) + "x" + std::to_string(g.Rows);
        const double cells = static_cast<double>(g.Cells());
        for (const auto& [name, r] : {std::pair{"run, OGC GeoPackage", ours}, {"GDAL GPKG", gdal}})
            std::printf("%-20s %9lld %9s %9.3f %9.3f %12.0f %8.1fx %8.1f %8.1f\n", name,
                        static_cast<long long>(g.Cells()), shape.c_str(), r.seconds, r.cpuSeconds,
                        cells / r.seconds, gdal.seconds / r.seconds,
                        static_cast<double>(r.bytes) / 1e6, static_cast<double>(r.peakKiB) / 1024);
        std::printf("\n");
    }
    return 0;
}
