// Writes a grid of closed five-point squares, each with a 20-character text
// attribute, through TGISWriteSHP, TGISWriteMIF, TGISWriteMITAB (MapInfo TAB through
// the MITAB library bound at start), TGISWriteGML2, TGISWriteGeoJSON and, in the same
// run, through GDAL's shapefile, GML and GeoJSON drivers (OGR C API); prints cells per
// second for each, the ratio against GDAL's shapefile driver, and the peak memory of
// each writer.
//
// Every case runs in a child process of its own, so its peak resident set size
// (getrusage ru_maxrss) is its own; the grid is written once at the full size and
// once at a tenth of it, to show whether the peak grows with the number of cells.
//
// Writing TAB goes through GDAL's MapInfo driver and its spatial index, which is far
// slower than the other writers: its row appears only for grids of at most
// --tab-cells cells (default 100000).
//
//   bench_writer_throughput [--cells N] [--runs R] [--dir FOLDER] [--tab-cells N]

#include "measure.h"
#include "mitab.h"
#include "pwnet_giswriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace pwnet;

namespace {

constexpr double CellSize = 1000;
constexpr double X0 = 440000, Y0 = 6000000;

struct Grid {
    int64_t cells;
    int64_t rows; // cells run column by column, south to north
};

// The cell's 20-character name.
void CellName(int64_t col, int64_t row, char (&name)[64]) {
    std::snprintf(name, sizeof name, "1km_%06lld_%06lld_DK", static_cast<long long>(row),
                  static_cast<long long>(col));
}

// ---- the cases -------------------------------------------------------------

void WriteWithOurs(TGISFormat format, const Grid& g, const std::string& base) {
    auto w = TGISWrite::GetGISObject(format);
    w->FileName = base;
    // The application's DKN clause, with its Bounds (the TAB writer needs them for
    // metre precision; the other writers ignore them or write them into the header).
    w->CoordSys = "CoordSys Earth Projection 8, 33, \"m\", 9, 0, 0.9996, 500000, 0 "
                  "Bounds (100000, 6000000) (1000000,6500000)";
    w->epsg = 25832;
    w->StartHeader(1, otRegion);
    w->AddField("KN1kmDK", gfChar, 20, 0);
    TFloatPointArrayEx ring;
    ring.Pnt.resize(5);
    ring.Count = 5;
    std::string row;
    char name[64];
    for (int64_t i = 0; i < g.cells; ++i) {
        const int64_t col = i / g.rows, r = i % g.rows;
        const double x = X0 + CellSize * static_cast<double>(col);
        const double y = Y0 + CellSize * static_cast<double>(r);
        ring.Pnt[0] = {x, y};
        ring.Pnt[1] = {x, y + CellSize};
        ring.Pnt[2] = {x + CellSize, y + CellSize};
        ring.Pnt[3] = {x + CellSize, y};
        ring.Pnt[4] = {x, y};
        ring.Count = 5;
        CellName(col, r, name);
        row.assign("\"").append(name).append("\"");
        w->AddObject(1, false, row);
        w->AddSection(0, ring);
    }
    w->Close();
}

// The same cells through a GDAL driver. Options: the dataset's creation options.
void WriteWithGdal(const Grid& g, const char* driverName, const std::string& path, char** options) {
    auto name = [](int64_t col, int64_t row, double, double, char(&out)[64]) {
        CellName(col, row, out);
    };
    benchutil::WriteSquaresWithGdal({X0, Y0, CellSize, g.cells, g.rows}, name, driverName, path,
                                    options, "grid", "KN1kmDK", 25832);
}

enum class Case { Shp, Mif, Tab, Gml, GeoJson, Gdal, GdalGml, GdalGeoJson };

const char* CaseName(Case c) {
    switch (c) {
    case Case::Shp:
        return "TGISWriteSHP";
    case Case::Mif:
        return "TGISWriteMIF";
    case Case::Tab:
        return "TGISWriteMITAB";
    case Case::Gml:
        return "TGISWriteGML2";
    case Case::GeoJson:
        return "TGISWriteGeoJSON";
    case Case::Gdal:
        return "GDAL ESRI Shapefile";
    case Case::GdalGml:
        return "GDAL GML (GML2)";
    case Case::GdalGeoJson:
        return "GDAL GeoJSON";
    }
    return "?";
}

// GML 2 with its schema, and GeoJSON: what our writers write.
char* GmlOptions[] = {const_cast<char*>("FORMAT=GML2"), nullptr};

benchutil::Result Measure(Case c, const Grid& g, const std::string& folder, int runs) {
    const std::string base = folder + "/grid";
    auto work = [&] {
        switch (c) {
        case Case::Shp:
            WriteWithOurs(gfSHP, g, base);
            break;
        case Case::Mif:
            WriteWithOurs(gfMIF, g, base);
            break;
        case Case::Tab:
            WriteWithOurs(gfMITAB, g, base);
            break;
        case Case::Gml:
            WriteWithOurs(gfGML2, g, base);
            break;
        case Case::GeoJson:
            WriteWithOurs(gfGeoJSON, g, base);
            break;
        case Case::Gdal:
            WriteWithGdal(g, "ESRI Shapefile", base + ".shp", nullptr);
            break;
        case Case::GdalGml:
            WriteWithGdal(g, "GML", base + ".gml", GmlOptions);
            break;
        case Case::GdalGeoJson:
            WriteWithGdal(g, "GeoJSON", base + ".geojson", nullptr);
            break;
        }
    };
    return benchutil::Measure(CaseName(c), work, folder, runs);
}

} // namespace

int main(int argc, char** argv) {
    LoadMitab(); // as the programs do at start
    int64_t cells = 1000000;
    int64_t tabCells = 100000;
    int runs = 3;
    std::string dir;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--cells")
            cells = std::atoll(argv[i + 1]);
        else if (opt == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (opt == "--dir")
            dir = argv[i + 1];
        else if (opt == "--tab-cells")
            tabCells = std::atoll(argv[i + 1]);
    }
    const benchutil::OutputFolder folder(dir, "bench-writers");

    // About square grids, column by column: the TAB writer's table holds coordinates
    // only inside the DKN bounds (900 x 500 km), which 1 km cells of grids up to
    // 250,000 cells stay in.
    auto square = [](int64_t n) {
        return std::max<int64_t>(1, static_cast<int64_t>(std::sqrt(static_cast<double>(n))));
    };
    std::printf(
        "Grid: %lld closed five-point squares in columns of %lld (and a tenth of them in\n"
        "columns of %lld), a 20-character text attribute; median of %d runs, each in its own\n"
        "process; peak = ru_maxrss of that process.\n\n",
        static_cast<long long>(cells), static_cast<long long>(square(cells)),
        static_cast<long long>(square(cells / 10)), runs);
    std::printf("%-22s %10s %9s %14s %10s %9s %9s %11s\n", "writer", "cells", "seconds", "cells/s",
                "vs GDAL", "MB out", "peak MB", "base MB");

    for (const int64_t n : {cells, cells / 10}) {
        const Grid g{n, square(n)};
        const benchutil::Result gdal = Measure(Case::Gdal, g, folder.path(), runs);
        std::vector<Case> order = {Case::Shp,     Case::Mif,  Case::Tab,     Case::Gml,
                                   Case::GeoJson, Case::Gdal, Case::GdalGml, Case::GdalGeoJson};
        if (n > tabCells || !MitabAvailable())
            order.erase(std::find(order.begin(), order.end(), Case::Tab));
        for (Case c : order) {
            const benchutil::Result r = c == Case::Gdal ? gdal : Measure(c, g, folder.path(), runs);
            const double rate = static_cast<double>(n) / r.seconds;
            const double gdalRate = static_cast<double>(n) / gdal.seconds;
            std::printf("%-22s %10lld %9.3f %14.0f %9.1fx %9.1f %9.1f %11.1f\n", CaseName(c),
                        static_cast<long long>(n), r.seconds, rate, rate / gdalRate,
                        static_cast<double>(r.bytes) / 1e6, static_cast<double>(r.peakKiB) / 1024,
                        static_cast<double>(r.baseKiB) / 1024);
        }
        std::printf("\n");
    }
    return 0;
}
