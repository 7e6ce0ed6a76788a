// The grid state: snapping the raw corners to whole cells, the status texts, and
// how the commands (grid system, size, format, presets, corners, close) change it.

#include "errors.h"
#include "grid_state.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace quadrel;

namespace {

struct SnapCase {
    const char* Name;
    TCornerPoint First, Second;
    int32_t CellSize;
    TGridExtent Expected;
    friend std::ostream& operator<<(std::ostream& os, const SnapCase& c) { return os << c.Name; }
};

const SnapCase SnapCases[] = {
    {"LowerLeftFirst",
     {440500, 6200500},
     {442500, 6201500},
     1000,
     {440000, 6200000, 443000, 6202000, 3, 2}},
    {"UpperRightFirst",
     {442500, 6201500},
     {440500, 6200500},
     1000,
     {440000, 6200000, 443000, 6202000, 3, 2}},
    {"CrossedCorners",
     {440500, 6201500},
     {442500, 6200500},
     1000,
     {440000, 6200000, 443000, 6202000, 3, 2}},
    {"BothInsideOneCell",
     {441200, 6200300},
     {441700, 6200900},
     1000,
     {441000, 6200000, 442000, 6201000, 1, 1}},
    {"CornersOnCellLinesStay",
     {441000, 6200000},
     {443000, 6202000},
     1000,
     {441000, 6200000, 443000, 6202000, 2, 2}},
    // 0.0005 of a cell beyond a line is kept on the line; 0.002 of a cell is not.
    {"MaximumJustPastALineStays",
     {441000, 6200000},
     {443000.5, 6202000.5},
     1000,
     {441000, 6200000, 443000, 6202000, 2, 2}},
    {"MaximumPastAThousandthMoves",
     {441000, 6200000},
     {443002, 6202002},
     1000,
     {441000, 6200000, 444000, 6203000, 3, 3}},
    {"SamePointOnALineHasNoCells",
     {441000, 6200000},
     {441000, 6200000},
     1000,
     {441000, 6200000, 441000, 6200000, 0, 0}},
    // Truncation goes toward zero, also for a negative minimum.
    {"NegativeMinimumCutTowardZero", {-150, -250}, {450, 350}, 100, {-100, -200, 500, 400, 6, 6}},
    {"BornholmIn10km",
     {860000, 6100000},
     {900000, 6150000},
     10000,
     {860000, 6100000, 900000, 6150000, 4, 5}},
    {"DenmarkOnlyIn1km",
     {440000, 6040000},
     {900000, 6410000},
     1000,
     {440000, 6040000, 900000, 6410000, 460, 370}},
    {"Quarter250mCells",
     {456800, 6123260},
     {456990, 6123499},
     250,
     {456750, 6123250, 457000, 6123500, 1, 1}},
    {"EuroGridWholeCountryIn1m",
     {4000000, 2900000},
     {4500000, 3500000},
     1,
     {4000000, 2900000, 4500000, 3500000, 500000, 600000}},
};

class Snapping : public testing::TestWithParam<SnapCase> {};

TEST_P(Snapping, SnapsOutwardsToWholeCells) {
    const SnapCase& c = GetParam();
    EXPECT_EQ(SnapExtent(c.First, c.Second, c.CellSize), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Snapping, testing::ValuesIn(SnapCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(Snapping, RefusesWhatCannotBeSnapped) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* Name;
        TCornerPoint First, Second;
        int32_t CellSize;
    } cases[] = {
        {"NoCellSize", {1, 1}, {2, 2}, 0},
        {"NegativeCellSize", {1, 1}, {2, 2}, -100},
        {"NaN", {nan, 1}, {2, 2}, 100},
        {"Infinity", {1, 1}, {2, inf}, 100},
        {"FarBeyondAnyProjection", {1, 1}, {2e15, 2}, 1000},
        // 3e9 one-metre cells across do not fit the 32-bit cell count.
        {"TooManyCells", {1, 1}, {3e9, 2}, 1},
    };
    for (const auto& c : cases)
        EXPECT_THROW(SnapExtent(c.First, c.Second, c.CellSize), ERangeError) << c.Name;
}

TEST(StatusTexts, SixPanelsInOrder) {
    const auto texts = StatusTexts({440000, 6040000, 900000, 6410000, 460, 370});
    EXPECT_EQ(texts, (std::array<std::string, 6>{"X1: 440000", "Y1: 6040000", "X2: 900000",
                                                 "Y2: 6410000", "Cells X: 460", "Cells Y: 370"}));
    EXPECT_EQ(StatusTexts({-100, 0, 0, 0, 0, 0})[0], "X1: -100");
    EXPECT_EQ(StatusTexts({0, 0, 0, 0, 0, 0})[4], "Cells X: 0");
}

// A state with a recorder on its "show the extent" event.
class GridStateTest : public testing::Test {
protected:
    void SetUp() override {
        state.OnShowExtent = [this](const TGridState& s) {
            ++shown;
            lastTexts = StatusTexts(s.GridExtent);
        };
    }
    TGridState state;
    int shown = 0;
    std::array<std::string, 6> lastTexts;
};

TEST_F(GridStateTest, StartsWithoutGridWithShpChosen) {
    EXPECT_EQ(state.GridKind, gkNone);
    EXPECT_EQ(state.OutputFormatTag, ftSHP);
    EXPECT_EQ(state.CellSize, 0);
    EXPECT_FALSE(state.CornersSet());
    EXPECT_FALSE(state.ExtentShown);
    EXPECT_EQ(state.Size(), nullptr);
}

TEST_F(GridStateTest, ChoosingDknTakesTheDefaultSize) {
    state.ChooseGridKind(gkDKN);
    EXPECT_EQ(state.GridKind, gkDKN);
    EXPECT_EQ(state.SizeTag, 3);
    EXPECT_EQ(state.CellSize, 1000);
    EXPECT_EQ(state.SizeLabel, "1km");
    EXPECT_EQ(state.DroppedDigits, 3);
    EXPECT_EQ(state.FilePrefix, "DKN_1km_euref89");
    EXPECT_EQ(state.OutlineColour, 0xFF0000u);
    EXPECT_FALSE(state.ExtentShown); // no corners yet
    EXPECT_EQ(shown, 0);
}

TEST_F(GridStateTest, EuroGridSizeLeavesTheDknFieldsAlone) {
    state.ChooseGridKind(gkDKN);
    state.ChooseSize(2); // 250 m
    state.ChooseGridKind(gkEuroGrid);
    EXPECT_EQ(state.SizeTag, 13);
    EXPECT_EQ(state.CellSize, 10000);
    EXPECT_EQ(state.FilePrefix, "EuroGrid_10km");
    EXPECT_EQ(state.SizeLabel, "250m");
    EXPECT_EQ(state.DroppedDigits, 1);
    EXPECT_EQ(state.OutlineColour, 0xFFC000u);
}

TEST_F(GridStateTest, PresetBornholmThen10km) {
    state.ChooseGridKind(gkDKN);
    state.ChoosePreset(*FindPresetByCaption("Bornholm"));
    state.ChooseSize(4);
    EXPECT_EQ(state.GridExtent, (TGridExtent{860000, 6100000, 900000, 6150000, 4, 5}));
    EXPECT_TRUE(state.ExtentShown);
    EXPECT_EQ(shown, 2); // once for the preset, once for the size
    EXPECT_EQ(lastTexts[4], "Cells X: 4");
    EXPECT_EQ(lastTexts[5], "Cells Y: 5");
}

TEST_F(GridStateTest, DenmarkOnlyShowsTheStatusTextsOfTheExample) {
    state.ChooseGridKind(gkDKN);
    state.ChoosePreset(*FindPresetByCaption("Denmark only"));
    EXPECT_EQ(lastTexts,
              (std::array<std::string, 6>{"X1: 440000", "Y1: 6040000", "X2: 900000", "Y2: 6410000",
                                          "Cells X: 460", "Cells Y: 370"}));
}

TEST_F(GridStateTest, CornerClicksInEitherOrderGiveTheSameExtent) {
    state.ChooseGridKind(gkDKN);
    state.SetSecondCorner({442500, 6200500}); // right button first
    EXPECT_FALSE(state.ExtentShown);
    state.SetFirstCorner({440500, 6201500});
    const TGridExtent a = state.GridExtent;

    TGridState other;
    other.ChooseGridKind(gkDKN);
    other.SetFirstCorner({442500, 6200500});
    other.SetSecondCorner({440500, 6201500});
    EXPECT_EQ(a, other.GridExtent);
    EXPECT_EQ(a, (TGridExtent{440000, 6200000, 443000, 6202000, 3, 2}));
}

TEST_F(GridStateTest, AnXOfZeroMeansUnsetButAYOfZeroDoesNot) {
    state.ChooseGridKind(gkEuroGrid);
    state.SetCorners({0.0, 3000000}, {4500000, 3500000});
    EXPECT_FALSE(state.ExtentShown);
    EXPECT_EQ(shown, 0);
    // The extent is still computed from the numbers.
    EXPECT_EQ(state.GridExtent.X2, 4500000);

    state.SetCorners({4000000, 0.0}, {4500000, 3500000});
    EXPECT_TRUE(state.ExtentShown);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(state.GridExtent, (TGridExtent{4000000, 0, 4500000, 3500000, 50, 350}));
}

TEST_F(GridStateTest, AreaWithoutCellsStillEnablesGo) {
    state.ChooseGridKind(gkDKN);
    state.SetCorners({441000, 6200000}, {441000, 6200000});
    EXPECT_TRUE(state.ExtentShown);
    EXPECT_EQ(lastTexts[4], "Cells X: 0");
}

TEST_F(GridStateTest, SizeChangeSnapsAfreshFromTheRawCorners) {
    state.ChooseGridKind(gkDKN);
    state.SetCorners({440500, 6200500}, {442500, 6201500});
    state.ChooseSize(5); // 100 km swallows the area in one cell
    EXPECT_EQ(state.GridExtent, (TGridExtent{400000, 6200000, 500000, 6300000, 1, 1}));
    state.ChooseSize(3);
    EXPECT_EQ(state.GridExtent, (TGridExtent{440000, 6200000, 443000, 6202000, 3, 2}));
}

TEST_F(GridStateTest, CloseGridKeepsTheCornersForTheNextSystem) {
    state.ChooseGridKind(gkEuroGrid);
    state.SetCorners({440500, 6200500}, {442500, 6201500});
    state.CloseGrid();
    EXPECT_EQ(state.GridKind, gkNone);
    EXPECT_FALSE(state.ExtentShown);
    EXPECT_EQ(state.FirstCorner, (TCornerPoint{440500, 6200500}));
    const int before = shown;

    // Choosing DKN shows at once an extent from the old numbers in 1 km cells.
    state.ChooseGridKind(gkDKN);
    EXPECT_TRUE(state.ExtentShown);
    EXPECT_EQ(shown, before + 1);
    EXPECT_EQ(state.GridExtent, (TGridExtent{440000, 6200000, 443000, 6202000, 3, 2}));
}

// The formats without a menu item (CSV, KML, GeoJSON) fall back like the hidden GML.
TEST_F(GridStateTest, FormatFallsBackToMifWhenItsItemIsHidden) {
    struct Case {
        int32_t Format;
        TGridKind Kind;
        int32_t Expected;
    } cases[] = {
        {ftTAB, gkEuroGrid, ftMIF}, {ftGML, gkEuroGrid, ftMIF}, {ftGML, gkDKN, ftMIF},
        {ftTAB, gkDKN, ftTAB},      {ftSHP, gkEuroGrid, ftSHP}, {ftSHP83, gkEuroGrid, ftSHP83},
        {ftMIF, gkDKN, ftMIF},      {ftSHP, gkDKN, ftSHP},      {ftCSV, gkDKN, ftMIF},
        {ftKML, gkEuroGrid, ftMIF}, {ftGeoJSON, gkDKN, ftMIF},
    };
    for (const auto& c : cases) {
        TGridState s;
        s.ChooseFormat(c.Format);
        s.ChooseGridKind(c.Kind);
        EXPECT_EQ(s.OutputFormatTag, c.Expected) << "format " << c.Format << ", kind " << c.Kind;
    }
    // chosen after the grid system, as quadrel-cli chooses them, they stay
    for (int32_t format : {ftGML, ftCSV, ftKML, ftGeoJSON}) {
        TGridState s;
        s.ChooseGridKind(gkDKN);
        s.ChooseFormat(format);
        s.ChooseSize(FindSizeByLabel(gkDKN, "10km")->Tag);
        EXPECT_EQ(s.OutputFormatTag, format);
    }
}

TEST_F(GridStateTest, FilePrefixFollowsThe83ItemOnlyAtTheNextSizeOrSystemChoice) {
    state.ChooseGridKind(gkDKN);
    state.ChooseFormat(ftSHP83);
    EXPECT_EQ(state.FilePrefix, "DKN_1km_euref89");
    state.ChooseSize(3);
    EXPECT_EQ(state.FilePrefix, "KN_1km");
    state.ChooseFormat(ftSHP);
    EXPECT_EQ(state.FilePrefix, "KN_1km");
    state.ChooseGridKind(gkEuroGrid);
    EXPECT_EQ(state.FilePrefix, "EuroGrid_10km");
    state.ChooseFormat(ftSHP83);
    state.ChooseGridKind(gkEuroGrid);
    EXPECT_EQ(state.FilePrefix, "EG10km");
}

TEST_F(GridStateTest, RefusedChoicesChangeNothing) {
    state.ChooseGridKind(gkEuroGrid);
    state.SetCorners({4000000, 2900000}, {4500000, 3500000});
    const TGridState before = state;
    auto unchanged = [&] {
        EXPECT_EQ(state.GridKind, before.GridKind);
        EXPECT_EQ(state.SizeTag, before.SizeTag);
        EXPECT_EQ(state.CellSize, before.CellSize);
        EXPECT_EQ(state.FilePrefix, before.FilePrefix);
        EXPECT_EQ(state.OutputFormatTag, before.OutputFormatTag);
        EXPECT_EQ(state.FirstCorner, before.FirstCorner);
        EXPECT_EQ(state.SecondCorner, before.SecondCorner);
        EXPECT_EQ(state.GridExtent, before.GridExtent);
    };
    EXPECT_THROW(state.ChooseSize(3), ERangeError); // a DKN tag, not a EuroGrid one
    unchanged();
    EXPECT_THROW(state.ChoosePreset(PresetAreas()[0]), ERangeError); // presets are DKN's
    unchanged();
    EXPECT_THROW(state.ChooseFormat(9), ERangeError);
    unchanged();
    EXPECT_THROW(state.SetFirstCorner({std::nan(""), 1}), ERangeError);
    unchanged();
    EXPECT_THROW(state.ChooseGridKind(static_cast<TGridKind>(5)), ERangeError);
    unchanged();

    // 3e9 m hold 300000 cells of 10 km, but more 1 m cells than a 32-bit count holds.
    state.SetCorners({1, 1}, {3e9, 2});
    const TGridState wide = state;
    EXPECT_THROW(state.ChooseSize(1), ERangeError);
    EXPECT_EQ(state.SizeTag, wide.SizeTag);
    EXPECT_EQ(state.CellSize, wide.CellSize);
    EXPECT_EQ(state.GridExtent, wide.GridExtent);
}

TEST_F(GridStateTest, SizeChoiceNeedsAGridSystem) {
    EXPECT_THROW(state.ChooseSize(3), ERangeError);
    EXPECT_EQ(state.CellSize, 0);
}

TEST_F(GridStateTest, CornersBeforeAnySizeAreKeptAndSnappedLater) {
    state.SetCorners({440500, 6200500}, {442500, 6201500});
    EXPECT_FALSE(state.ExtentShown);
    state.ChooseGridKind(gkDKN);
    EXPECT_TRUE(state.ExtentShown);
    EXPECT_EQ(state.GridExtent.CellsX, 3);
}

TEST(GridStateInstance, IsOneObjectForTheProcess) {
    EXPECT_EQ(&GridState(), &GridState());
}

} // namespace
