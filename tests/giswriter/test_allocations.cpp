// Writers are fed one small object per grid cell: once their buffers have grown to
// the size of the objects, writing an object must not allocate. This executable
// replaces the global operator new to count allocations.

#include "readers.h"
#include "temp_dir.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocations{0};
} // namespace

void* operator new(std::size_t n) {
    ++allocations;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    return operator new(n);
}
// The nothrow forms too (PROJ uses them), so that every delete meets its own new.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    ++allocations;
    return std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return operator new(n, std::nothrow);
}
// The counting operator new takes its memory from malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

using namespace pwnet;
using namespace gwtest;

namespace {

struct AllocationCase {
    const char* name;
    TGISFormat format;
    uint16_t codepage;
    TObjectTypes kind;
    bool optimize;
    double offset; // added to every coordinate: 0 keeps them whole numbers
};

void PrintTo(const AllocationCase& c, std::ostream* os) {
    *os << c.name;
}

class PerObjectAllocations : public ::testing::TestWithParam<AllocationCase> {};

TEST_P(PerObjectAllocations, WritingAnObjectAllocatesNothing) {
    const auto& c = GetParam();
    testutil::TempDir dir;
    auto w = NewWriter(c.format, dir / "grid");
    w->SetCodepage(c.codepage);
    w->SetOptimizePLinesSections(c.optimize);
    w->Pen = TMIPen{1, 2, 0xFF};
    w->StartHeader(2, c.kind);
    w->AddField("KN10kmDK", gfChar, 20, 0);
    w->AddField("Stednavn", gfChar, 40, 0);
    TFloatPointArrayEx ring;
    ring.Pnt.resize(5);
    std::string row;
    auto writeCells = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            // 1 km cells: every coordinate keeps its number of digits, as in a DKN grid,
            // so the objects never outgrow the buffers sized by the first ones
            const double x = 440000 + 1000.0 * (i / 100) + c.offset,
                         y = 6200000 + 1000.0 * (i % 100);
            row.assign("\"10km_620_44\",\"Ærøskøbing Øster Å\"");
            if (c.kind == otPline) {
                // two touching sections: merged into one part when optimizing
                w->AddObject(2, false, row);
                w->AddSection2(0, x, y, x + 1000, y);
                w->AddSection2(0, x + 1000, y, x + 1000, y + 1000);
                continue;
            }
            ring.Pnt[0] = {x, y};
            ring.Pnt[1] = {x, y + 1000};
            ring.Pnt[2] = {x + 1000, y + 1000};
            ring.Pnt[3] = {x + 1000, y};
            ring.Pnt[4] = {x, y};
            ring.Count = 5;
            w->AddObject(1, false, row);
            w->AddSection(0, ring);
        }
    };
    writeCells(0, 100); // buffers grow to the objects' size
    const long before = allocations.load();
    writeCells(100, 20000); // ~2 MB of output: the 1 MiB windows move, too
    EXPECT_EQ(allocations.load() - before, 0);
    w->Close();
}

INSTANTIATE_TEST_SUITE_P(
    Writers, PerObjectAllocations,
    ::testing::Values(AllocationCase{"shp", gfSHP, 1252, otRegion, false, 0},
                      AllocationCase{"shp_utf8_lines_merged", gfSHP, 65001, otPline, true, 0},
                      AllocationCase{"gml", gfGML2, 1252, otRegion, false, 0},
                      AllocationCase{"gml_lines_fractional", gfGML2, 1252, otPline, false, 0.5},
                      AllocationCase{"kml", gfKML2, 65001, otRegion, false, 0.123456789},
                      AllocationCase{"geojson", gfGeoJSON, 65001, otRegion, false, 0},
                      AllocationCase{"geojson_lines", gfGeoJSON, 65001, otPline, true, 0.5},
                      AllocationCase{"csv", gfCSV, 1252, otRegion, false, 0},
                      AllocationCase{"dbf", gfDBF, 1252, otRegion, false, 0},
                      AllocationCase{"mif", gfMIF, 1252, otRegion, false, 0},
                      AllocationCase{"mif_fractional", gfMIF, 1252, otRegion, false, 0.123456789},
                      AllocationCase{"mif8_lines", gfMIF8, 65001, otPline, false, 0.5},
                      AllocationCase{"gpkg", gfGPKG, 65001, otRegion, false, 0},
                      AllocationCase{"gpkg_lines_merged", gfGPKG, 65001, otPline, true, 0.5}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
