// A grid cut to an area: how the area sets the extent or narrows it, when it is
// dropped or refused, what the estimates and checks count, and the run's output,
// read back with GDAL: only the cells within the area, in the run's order.

#include "area_cells.h"
#include "cell_list.h"
#include "cell_naming.h"
#include "geos_cells.h"
#include "ogr_layer.h"
#include "run_preview.h"
#include "run_test_helpers.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace quadrel;
using namespace testutil;

namespace {

// A DKN area of rings given outer first.
std::shared_ptr<const TArea> DknArea(const std::vector<Polygon>& Polygons,
                                     const char* Name = "study.gpkg") {
    auto area = std::make_shared<TArea>();
    area->Name = Name;
    area->Epsg = 25832;
    area->Rings = OrientedRings(Polygons);
    return area;
}

// A triangle with a square hole over a few kilometres west of 443000.
const std::vector<Polygon> Triangle = {
    {{{440200, 6200300}, {443500, 6200800}, {441000, 6203600}},
     {{441000, 6201000}, {442000, 6201000}, {442000, 6202000}, {441000, 6202000}}}};

TGridState Dkn(const char* Size) {
    TGridState s;
    s.ChooseGridKind(gkDKN);
    s.ChooseSize(FindSizeByLabel(gkDKN, Size)->Tag);
    return s;
}

TEST(AreaState, ChoosingAnAreaSetsTheExtentToItsBounds) {
    TGridState s = Dkn("1km");
    int shown = 0;
    s.OnShowExtent = [&](const TGridState&) { ++shown; };
    ChooseArea(s, DknArea(Triangle));
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(s.ExtentShown);
    // Snapped outwards as corners are: 440200 -> 440000, 443500 -> 444000, ...
    EXPECT_EQ(s.GridExtent, (TGridExtent{440000, 6200000, 444000, 6204000, 4, 4}));
    EXPECT_EQ(CandidateCells(s.GridExtent), 16);
    const CellSet cells = GeosArea(Triangle).Covered({440000, 6200000, 1000, 4, 4});
    EXPECT_EQ(CellsToWrite(s), static_cast<int64_t>(cells.size()));
    EXPECT_EQ(cells.size(), 12u); // less the hole and three cells north-east of the triangle
    EXPECT_FALSE(CellIsWritten(s, 441500, 6201500)); // the hole
    EXPECT_TRUE(CellIsWritten(s, 440500, 6200500));
    EXPECT_FALSE(CellIsWritten(s, 443500, 6203500)); // outside the triangle
    EXPECT_FALSE(CellIsWritten(s, 450000, 6200500)); // outside the extent
    EXPECT_EQ(AreaCellsText(s, CellsToWrite(s)), "Cells within study.gpkg: 12");

    // A size change snaps the same corners again: the area stays.
    s.ChooseSize(FindSizeByLabel(gkDKN, "10km")->Tag);
    EXPECT_EQ(s.GridExtent, (TGridExtent{440000, 6200000, 450000, 6210000, 1, 1}));
    EXPECT_EQ(CellsToWrite(s), 1);
}

TEST(AreaState, CornersOrAPresetNarrowTheArea) {
    TGridState s = Dkn("1km");
    s.SetCorners({441000, 6200000}, {443000, 6204000});
    LimitToArea(s, DknArea(Triangle));
    EXPECT_EQ(s.GridExtent, (TGridExtent{441000, 6200000, 443000, 6204000, 2, 4}));
    EXPECT_EQ(CellsToWrite(s), 6); // within both: not the hole, not the north-east cell
    ClearArea(s);
    EXPECT_EQ(s.Area, nullptr);
    EXPECT_EQ(CellsToWrite(s), 8);
}

TEST(AreaState, RefusedAndDroppedAreas) {
    TGridState s = Dkn("1km");
    s.SetCorners({441000, 6200000}, {443000, 6204000});
    const TGridExtent before = s.GridExtent;
    auto empty = std::make_shared<TArea>();
    empty->Name = "empty.geojson";
    empty->Epsg = 25832;
    EXPECT_THROW(ChooseArea(s, empty), EAreaError);
    auto laea = std::make_shared<TArea>(*DknArea(Triangle));
    laea->Epsg = 3035;
    EXPECT_THROW(ChooseArea(s, laea), EAreaError);
    EXPECT_THROW(LimitToArea(s, laea), EAreaError);
    EXPECT_EQ(s.Area, nullptr);
    EXPECT_EQ(s.GridExtent, before);

    // Another grid system drops it (its rings are the wrong metres); the same keeps it.
    LimitToArea(s, DknArea(Triangle));
    s.ChooseGridKind(gkDKN);
    EXPECT_NE(s.Area, nullptr);
    s.ChooseGridKind(gkEuroGrid);
    EXPECT_EQ(s.Area, nullptr);

    // A state given an area of another system cannot run, nor a list of cells cut
    // to an area.
    TGridState mixed = Dkn("1km");
    mixed.SetCorners({441000, 6200000}, {443000, 6204000});
    mixed.Area = laea;
    EXPECT_THROW(CheckGridReady(mixed), ERangeError);
    TGridState listed = Dkn("1km");
    listed.SetCorners({441000, 6200000}, {443000, 6204000});
    listed.ListedCells = std::make_shared<TCellList>();
    listed.Area = DknArea(Triangle);
    EXPECT_THROW(CheckGridReady(listed), ERangeError);
}

// The checks count the cells really written: 100 m cells over "All" are refused as
// a shapefile (37.4 million cells, 5 GB), the few within a small area are not.
TEST(AreaState, EstimatesAndChecksCountTheCellsWithin) {
    TGridState s = Dkn("100m");
    s.ChoosePreset(*FindPresetByCaption("All"));
    ASSERT_EQ(PreviewRun(s).Refusal->Outcome, TRunOutcome::TooLarge);
    LimitToArea(s, DknArea(Triangle));
    const TRunPreview p = PreviewRun(s);
    EXPECT_FALSE(p.Refusal);
    EXPECT_EQ(p.Estimates.Cells, CellsToWrite(s));
    EXPECT_EQ(p.Estimates.First, p.Estimates.Cells * 136);
    EXPECT_EQ(CandidateCells(s.GridExtent), 37400000);
    // All's lattice of 100 m cells holds the triangle's bounding box exactly.
    EXPECT_EQ(
        p.Estimates.Cells,
        static_cast<int64_t>(GeosArea(Triangle).Covered({440200, 6200300, 100, 33, 33}).size()));

    // Free space is judged by the same count.
    FakeFileSystem files;
    files.Free = p.Estimates.Second;
    EXPECT_FALSE(PreviewRun(s, &files, "/tmp/").Refusal);
    files.Free = p.Estimates.Second - 1;
    EXPECT_EQ(PreviewRun(s, &files, "/tmp/").Refusal->Outcome, TRunOutcome::NoSpace);
}

// The written grid holds exactly the cells GEOS finds within the area, column by
// column from west to east and south to north, with their names.
TEST(AreaRun, WritesOnlyTheCellsWithin) {
    TGridState s = Dkn("250m");
    s.ChooseFormat(ftSHP);
    ChooseArea(s, DknArea(Triangle));
    TempDir dir;
    RunInto(dir, s);
    const OgrLayer layer = ReadOgrLayer(dir / "DKN_250m_euref89.shp");

    const TGridExtent& e = s.GridExtent;
    const Grid g{e.X1, e.Y1, 250, e.CellsX, e.CellsY};
    const CellSet cells = GeosArea(Triangle).Covered(g);
    std::vector<ExpectedCell> expected;
    for (auto [i, j] : cells) { // (column, row) order is the run's order
        const int32_t x = static_cast<int32_t>(e.X1) + i * 250;
        const int32_t y = static_cast<int32_t>(e.Y1) + j * 250;
        expected.push_back({{CellId(s, x, y)}, double(x), double(y)});
    }
    ASSERT_EQ(layer.Features.size(), expected.size());
    EXPECT_EQ(layer.FeatureCount, CellsToWrite(s));
    for (size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE(expected[k].Values[0]);
        EXPECT_EQ(layer.Features[k].Values, expected[k].Values);
        EXPECT_EQ(layer.Features[k].Outline, Square(expected[k].X, expected[k].Y, 250));
    }
}

} // namespace
