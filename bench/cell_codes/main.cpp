// What the cell options cost the generation run: DKN 100 m cells and EuroGrid 1 km
// cells to SHP, plain (the baseline, measured in the same run), with parent cells,
// with a code style, as centre points, and as a list of cell names read from a file
// (--from-ids: the names are parsed, then the listed cells written). Prints seconds,
// cells per second, the ratio against the plain grid of the same system, output MB
// and peak memory.
//
// Every case runs in a child process of its own (median of --runs runs), so its peak
// resident set size (getrusage ru_maxrss) is its own.
//
//   bench_cell_codes [--columns N] [--rows R] [--runs K] [--dir FOLDER]

#include "cell_codes.h"
#include "cell_list.h"
#include "generation_run.h"
#include "measure.h"
#include "silent_user.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

using namespace quadrel;

namespace {

struct TCase {
    const char* Name;
    TGridKind Kind;
    bool Parents, Points, Listed;
    TCellCodeStyle Code;
};

constexpr TCase Cases[] = {
    {"DKN 100 m, plain", gkDKN, false, false, false, TCellCodeStyle::None},
    {"DKN 100 m, parents", gkDKN, true, false, false, TCellCodeStyle::None},
    {"DKN 100 m, points", gkDKN, false, true, false, TCellCodeStyle::None},
    {"DKN 100 m, from ids", gkDKN, false, false, true, TCellCodeStyle::None},
    {"EuroGrid 1 km, plain", gkEuroGrid, false, false, false, TCellCodeStyle::None},
    {"EuroGrid 1 km, EEA", gkEuroGrid, false, false, false, TCellCodeStyle::EEA},
    {"EuroGrid 1 km, INSPIRE+parents", gkEuroGrid, true, false, false, TCellCodeStyle::Inspire},
};

TGridState Grid(const TCase& c, int32_t Columns, int32_t Rows) {
    TGridState s;
    s.ChooseGridKind(c.Kind);
    s.ChooseFormat(ftSHP);
    const bool dkn = c.Kind == gkDKN;
    s.ChooseSize(FindSizeByLabel(c.Kind, dkn ? "100m" : "1km")->Tag);
    const double x0 = dkn ? 500000 : 4000000, y0 = dkn ? 6100000 : 3000000;
    const double size = dkn ? 100 : 1000;
    s.SetCorners({x0, y0}, {x0 + size * Columns, y0 + size * Rows});
    s.CellCode = c.Code;
    s.ParentCells = c.Parents;
    s.CentrePoints = c.Points;
    return s;
}

// The names of every cell of State's extent, one a line, as --from-ids reads them.
std::string NamesFile(const TGridState& State, const std::string& Folder) {
    const std::string path = Folder + "/../bench-cell-names.txt";
    std::ofstream out(path);
    const TGridExtent& e = State.GridExtent;
    for (int32_t i = 0; i < e.CellsX; ++i)
        for (int32_t j = 0; j < e.CellsY; ++j)
            out << CellName(State.GridKind, State.CellCode, *State.Size(),
                            static_cast<int64_t>(e.X1) + int64_t{i} * State.CellSize,
                            static_cast<int64_t>(e.Y1) + int64_t{j} * State.CellSize)
                << '\n';
    return path;
}

void Run(const TGridState& Grid, const std::string& Names, const std::string& Folder) {
    TGridState state = Grid;
    if (!Names.empty()) {
        std::ifstream in(Names);
        ChooseListedCells(state, std::make_shared<const TCellList>(ReadCellList(in)));
    }
    benchutil::SilentUser user(Folder);
    TGenerationRun run;
    if (run.Execute(state, user).Outcome != TRunOutcome::Done) {
        std::fprintf(stderr, "the run was refused\n");
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    const benchutil::GridOptions options = benchutil::ParseGridOptions(argc, argv);
    const int32_t columns = options.Columns, rows = options.Rows;
    const int runs = options.Runs;
    const benchutil::OutputFolder folder(options.Dir, "bench-cells");

    std::printf("%d x %d cells to ESRI SHP per case; median of %d runs, each in its own\n"
                "process; the ratio is against the plain grid of the same system.\n\n",
                columns, rows, runs);
    std::printf("%-32s %9s %9s %12s %9s %8s %8s\n", "case", "cells", "seconds", "cells/s",
                "vs plain", "MB out", "peak MB");
    double plain = 0;
    for (const TCase& c : Cases) {
        const TGridState grid = Grid(c, columns, rows);
        const std::string names = c.Listed ? NamesFile(grid, folder.path()) : "";
        const benchutil::Result r = benchutil::Measure(
            c.Name, [&] { Run(grid, names, folder.path()); }, folder.path(), runs);
        if (!names.empty())
            std::remove(names.c_str());
        const double cells = double(columns) * rows;
        if (!c.Parents && !c.Points && !c.Listed && c.Code == TCellCodeStyle::None)
            plain = r.seconds;
        std::printf("%-32s %9.0f %9.3f %12.0f %8.2fx %8.1f %8.1f\n", c.Name, cells, r.seconds,
                    cells / r.seconds, plain / r.seconds, double(r.bytes) / 1e6,
                    double(r.peakKiB) / 1024);
    }
    return 0;
}
