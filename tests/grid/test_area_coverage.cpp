// The cells an area covers, column by column, against GEOS: a cell is covered when
// its square and the area share interior, which GEOS tells as Intersects and not
// Touches. The cases put cell corners exactly on the area's edges, lay edges along
// cell lines, cut holes, split the area into several polygons, make it smaller than
// a cell and let it reach beyond the grid; random polygons fill in the rest.

#include "geos_cells.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

using namespace quadrel;
using namespace testutil;

namespace {

void ExpectSameAsGeos(const std::vector<Polygon>& Polygons, const Grid& G) {
    const GeosArea geos(Polygons);
    ASSERT_TRUE(geos.Valid());
    ExpectSameCells(geos.Covered(G), ByScanLine(OrientedRings(Polygons), G));
}

TAreaRing Box(double X0, double Y0, double X1, double Y1) {
    return {{X0, Y0}, {X1, Y0}, {X1, Y1}, {X0, Y1}};
}

struct Case {
    const char* Name;
    std::vector<Polygon> Polygons;
    Grid G;
};

void PrintTo(const Case& C, std::ostream* Out) {
    *Out << C.Name;
}

// 100 m cells, 10 x 10 from the origin unless a case says otherwise.
constexpr Grid Small{0, 0, 100, 10, 10};

const Case Cases[] = {
    // Cell corners on the edges: a diamond whose edges run through grid corners,
    // so its cells meet it at corners only along the diagonals.
    {"DiamondThroughCorners", {{{{500, 100}, {900, 500}, {500, 900}, {100, 500}}}}, Small},
    // A square on cell lines: its neighbours share edges with it, not interior.
    {"SquareOnCellLines", {{Box(200, 300, 500, 700)}}, Small},
    // Edges through grid corners at other slopes, vertices on cell lines.
    {"TriangleThroughCorners", {{{{0, 0}, {700, 100}, {300, 700}}}}, Small},
    {"SteepAndFlatEdges", {{{{100, 100}, {900, 200}, {800, 900}, {150, 250}}}}, Small},
    // A comb: horizontal edges along row lines and inside rows, vertical ones along
    // column lines and inside columns.
    {"Comb",
     {{{{100, 100},
        {900, 100},
        {900, 800},
        {750, 800},
        {750, 300},
        {650, 300},
        {650, 850},
        {500, 850},
        {500, 300},
        {400, 300},
        {400, 800},
        {100, 800}}}},
     Small},
    // Holes: one on cell lines, one diamond through corners, one inside one cell
    // (which stays covered), one touching the outer ring at a corner.
    {"PolygonWithHoles",
     {{Box(0, 0, 1000, 1000),
       Box(200, 200, 400, 400),
       {{700, 500}, {800, 600}, {700, 700}, {600, 600}},
       Box(520, 820, 560, 860),
       {{450, 1000}, {400, 900}, {500, 900}}}},
     Small},
    // A multipolygon: parts apart, parts touching at a vertex, a part in another's hole.
    {"MultiPolygon",
     {{Box(0, 0, 300, 300)},
      {{{300, 300}, {600, 350}, {450, 600}}},
      {Box(600, 0, 1000, 400), Box(700, 100, 900, 300)},
      {Box(750, 150, 850, 250)},
      {{{100, 700}, {300, 950}, {50, 900}}}},
     Small},
    // Smaller than one cell: inside one, on a grid corner (four cells), across a
    // cell line (two), touching a cell line from one side (one).
    {"SmallerThanACell",
     {{Box(120, 130, 180, 170)},
      {Box(390, 390, 410, 410)},
      {Box(590, 120, 620, 180)},
      {{{800, 300}, {850, 320}, {830, 350}}}},
     Small},
    // Beyond the grid's edges: the grid is a window on a larger area.
    {"CrossingTheGridEdge",
     {{{{-300, -200}, {1500, 50}, {700, 650}, {1400, 1500}, {-50, 850}}, Box(250, 250, 450, 450)}},
     Small},
    // Two overlapping polygons make their union.
    {"OverlappingPolygons", {{Box(100, 100, 600, 500)}, {Box(300, 300, 800, 800)}}, Small},
    // Nothing of the area on the grid.
    {"AreaBesideTheGrid", {{Box(2000, 0, 2500, 500)}}, Small},
    // Real coordinates and an odd origin: DKN metres, 250 m cells.
    {"DknMetres",
     {{{{724352, 6175804}, {726100.5, 6176000}, {725000, 6177250}, {723900.25, 6176400}}}},
     {723500, 6175500, 250, 12, 10}},
};

class AreaCoverageAgainstGeos : public testing::TestWithParam<Case> {};

TEST_P(AreaCoverageAgainstGeos, SameCells) {
    ExpectSameAsGeos(GetParam().Polygons, GetParam().G);
}

INSTANTIATE_TEST_SUITE_P(Cases, AreaCoverageAgainstGeos, testing::ValuesIn(Cases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// Star-shaped polygons of random radii, vertices anywhere (also on grid lines,
// where a coarse random step puts them), with a random hole each.
TEST(AreaCoverage, RandomPolygonsAgainstGeos) {
    std::mt19937 random(20240514);
    for (int trial = 0; trial < 40; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        std::uniform_real_distribution<double> unit(0, 1);
        const bool onLines = trial % 2 == 0; // vertices on a 50 m lattice
        auto snap = [&](double v) { return onLines ? std::round(v / 50) * 50 : v; };
        const double cx = 500 + 200 * unit(random), cy = 500 + 200 * unit(random);
        const int n = 5 + static_cast<int>(unit(random) * 25);
        TAreaRing outer, hole;
        for (int k = 0; k < n; ++k) {
            const double angle = 2 * M_PI * k / n;
            const double r = 150 + 450 * unit(random);
            outer.push_back({snap(cx + r * std::cos(angle)), snap(cy + r * std::sin(angle))});
            hole.push_back({cx + 60 * std::cos(angle), cy + 60 * std::sin(angle)});
        }
        outer.erase(std::unique(outer.begin(), outer.end()), outer.end());
        ExpectSameAsGeos({{outer, hole}}, {-100, -100, 100, 14, 14});
    }
}

// The columns may be asked in any order; going back west restarts the sweep.
TEST(AreaCoverage, ColumnsInAnyOrder) {
    const std::vector<TAreaRing> rings =
        OrientedRings({{{{100, 100}, {900, 200}, {800, 900}, {150, 250}}}});
    TAreaColumns inOrder(rings, 0, 0, 100, 10);
    std::vector<std::vector<TRowRange>> expected;
    for (int32_t i = 0; i < 10; ++i)
        expected.push_back(inOrder.Rows(i));
    TAreaColumns jumping(rings, 0, 0, 100, 10);
    for (int32_t i : {7, 2, 9, 0, 5, 5, 1, 8, 3, 4, 6})
        EXPECT_EQ(jumping.Rows(i), expected[static_cast<size_t>(i)]) << "column " << i;
}

// No rings, rings without area and a grid without rows cover nothing.
TEST(AreaCoverage, NothingToCover) {
    const std::vector<TAreaRing> none;
    EXPECT_TRUE(TAreaColumns(none, 0, 0, 100, 10).Rows(0).empty());
    const std::vector<TAreaRing> flat = {
        {{0, 50}, {500, 50}}, {{0, 50}, {250, 50}, {500, 50}}, {{10, 10}, {10, 10}, {10, 10}}};
    for (int32_t i = 0; i < 5; ++i)
        EXPECT_TRUE(TAreaColumns(flat, 0, 0, 100, 10).Rows(i).empty());
    const std::vector<TAreaRing> box = {Box(0, 0, 500, 500)};
    EXPECT_TRUE(TAreaColumns(box, 0, 0, 100, 0).Rows(1).empty());
}

} // namespace
