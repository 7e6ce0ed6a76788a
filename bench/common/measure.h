#pragma once
// What the benchmarks share: one measured case in a child process of its own, so
// that its peak resident set size (getrusage ru_maxrss) is its own; the median of
// several such runs; the folder the cases write into; and GDAL's fastest ordinary
// path for writing a grid of square polygons, the baseline the writers are held to.

#include <cstdint>
#include <functional>
#include <string>

namespace benchutil {

struct Result {
    double seconds = 0;
    long baseKiB = 0; // resident set before writing
    long peakKiB = 0; // peak resident set of the child
    uint64_t bytes = 0;
    double cpuSeconds = 0; // user and system time of the child, less disturbed by load
};

// Bytes of the regular files in Folder.
uint64_t OutputBytes(const std::string& Folder);

// Runs Work in a child process that writes into Folder; the time is Work's alone,
// the bytes are what Folder holds afterwards. Folder is emptied again. Ends the
// program when the child fails (Name says which case).
Result RunInChild(const char* Name, const std::function<void()>& Work, const std::string& Folder);

// Median time of Runs runs in children; the largest peak of them.
Result Measure(const char* Name, const std::function<void()>& Work, const std::string& Folder,
               int Runs);

// The folder the cases write into: the one given, or else a fresh temporary folder
// named after Prefix ("bench-grid" gives bench-grid-XXXXXX), removed at the end.
class OutputFolder {
public:
    OutputFolder(std::string Given, const char* Prefix);
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;
    const std::string& path() const { return FPath; }

private:
    std::string FPath;
    bool FOwn = false;
};

// The options of the grid benchmarks: [--columns N] [--rows R] [--runs K] [--dir FOLDER],
// each a pair of arguments; numbers below 1 count as 1, unknown options are ignored.
struct GridOptions {
    int32_t Columns = 1000, Rows = 1000;
    int Runs = 3;
    std::string Dir; // empty: a fresh folder in the temporary folder
};
GridOptions ParseGridOptions(int argc, char** argv);

// Square cells of Size, Rows to a column, column by column from (X0, Y0) south to
// north, Cells in all (the last column may be short).
struct SquareGrid {
    double X0, Y0, Size;
    int64_t Cells, Rows;
};

// Writes the cell's name (at most 63 characters) into Name.
using CellNamer = void (*)(int64_t Col, int64_t Row, double X, double Y, char (&Name)[64]);

// The grid through GDAL's driver DriverName into Path: one layer LayerName on EPSG
// code Epsg with one text field FieldName of 20 characters, one polygon of five
// points per cell; one feature and one polygon are reused for every cell, and a
// driver with transactions (GeoPackage) writes all cells in one. Options is the
// dataset's NULL-terminated list of creation options, or nullptr. Ends the program
// when GDAL fails.
void WriteSquaresWithGdal(const SquareGrid& Grid, CellNamer Name, const char* DriverName,
                          const std::string& Path, char** Options, const char* LayerName,
                          const char* FieldName, int Epsg);

} // namespace benchutil
