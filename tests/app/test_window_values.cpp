// The values behind the window's new status-bar areas and "Set area...", without a
// window: the cursor read-out, typed corners, the size before "GO !", the notice.

#include "cursor_readout.h"
#include "grid_catalogue.h"
#include "mitab.h"
#include "run_formats.h"
#include "run_preview.h"
#include "status_texts.h"
#include "typed_area.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace quadrel;

namespace {

TGridState Grid(TGridKind Kind, const char* SizeItem = nullptr) {
    TGridState s;
    s.ChooseGridKind(Kind);
    if (SizeItem)
        for (const TGridSize& size : GridSizes(Kind))
            if (size.ItemName == SizeItem)
                s.ChooseSize(size.Tag);
    return s;
}

// --- Cursor read-out -------------------------------------------------------------------

TEST(CursorReadout, MetresDegreesAndCell) {
    TCursorReadout readout;
    const TGridState dkn = Grid(gkDKN);             // 1 km
    const TGridState dkn10 = Grid(gkDKN, "N10km1"); // 10 km
    const TGridState eurogrid = Grid(gkEuroGrid);   // 10 km
    const struct {
        const TGridState* State;
        double X, Y;
        const char* Text;
    } cases[] = {
        {&dkn, 724512.4, 6175498.4,
         "X: 724512  Y: 6175498   Cell: 1km_6175_724   12.57060\u00B0 E  55.67329\u00B0 N"},
        // A point on a cell line belongs to the cell to its north and east.
        {&dkn, 724000, 6175000,
         "X: 724000  Y: 6175000   Cell: 1km_6175_724   12.56206\u00B0 E  55.66905\u00B0 N"},
        {&dkn10, 724512, 6175498,
         "X: 724512  Y: 6175498   Cell: 10km_617_72   12.57059\u00B0 E  55.67328\u00B0 N"},
        {&eurogrid, 4321000, 3210000,
         "X: 4321000  Y: 3210000   Cell: 4320000, 3210000   10.00000\u00B0 E  52.00000\u00B0 N"},
        {&eurogrid, 3000000, 3200000,
         "X: 3000000  Y: 3200000   Cell: 3000000, 3200000   8.80565\u00B0 W  50.37319\u00B0 N"},
        // Beyond the range of names: no cell; beyond the projection: no degrees.
        {&dkn, 5e9, 6175000, "X: 5000000000  Y: 6175000"},
        {&eurogrid, -0.4, 1e12, "X: 0  Y: 1000000000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readout.Text(*c.State, c.X, c.Y), c.Text) << c.X << "," << c.Y;
    EXPECT_EQ(readout.Text(TGridState{}, 724512, 6175498), ""); // no grid system
    EXPECT_EQ(readout.Text(dkn, NAN, 6175498), "");
}

TEST(CursorReadout, NumbersIgnoreTheLocale) {
    EXPECT_EQ(WholeMetres(-0.4), "0");
    EXPECT_EQ(WholeMetres(-12.5), "-13");
    EXPECT_EQ(WholeMetres(6175498.5), "6175499");
    EXPECT_EQ(Degrees(-0.000004, 'E', 'W'), "0.00000\u00B0 E");
    EXPECT_EQ(Degrees(-3.5, 'E', 'W'), "3.50000\u00B0 W");
    EXPECT_EQ(Degrees(55.673281, 'N', 'S'), "55.67328\u00B0 N");
}

// --- Typed corners -----------------------------------------------------------------------

TEST(TypedArea, NumbersAsTyped) {
    const struct {
        const char* Text;
        std::optional<double> Value;
    } cases[] = {
        {"440000", 440000}, {" 6040000.5 ", 6040000.5},
        {"12,5", 12.5},     {"+3", 3},
        {"-4.25", -4.25},   {"1e6", 1e6},
        {"", {}},           {"  ", {}},
        {"abc", {}},        {"1.000,5", {}},
        {"1 000", {}},      {"nan", {}},
        {"inf", {}},        {"12.5m", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseTypedNumber(c.Text), c.Value) << '"' << c.Text << '"';
}

TEST(TypedArea, MetresAreRefusedWithAReason) {
    const TGridState dkn = Grid(gkDKN);
    const struct {
        TAreaTexts Texts;
        const char* Error;
    } cases[] = {
        {{"440000", "6040000", "900000", "6410000"}, ""},
        {{"900000", "6410000", "440000", "6040000"}, ""}, // any two opposite corners
        {{"440000", "x", "900000", "6410000"}, "Y1: \"x\" is not a number"},
        {{"440000", "6040000", "", "6410000"}, "X2: \"\" is not a number"},
        {{"440000", "6040000", "440000", "6410000"}, "The two corners must differ in X and in Y"},
        {{"0", "6040000", "900000", "6410000"},
         "X1: an easting of exactly 0 cannot be used (it marks a corner that is not set)"},
        {{"440000", "6040000", "1e16", "6410000"},
         "A corner of the area is not a usable coordinate: it must be a finite number of "
         "metres within +-1e15"},
    };
    for (const auto& c : cases) {
        const TTypedArea a = AreaFromTexts(c.Texts, TAreaUnits::Metres, dkn, nullptr);
        EXPECT_EQ(a.Error, c.Error) << c.Texts[0];
        if (a.Error.empty()) {
            EXPECT_EQ(SnapExtent(a.First, a.Second, 1000),
                      SnapExtent({440000, 6040000}, {900000, 6410000}, 1000));
        }
    }
    // 1 m cells over a continent are more than 32 bits can count in one direction.
    const TGridState fine = Grid(gkEuroGrid, "N1meter1");
    EXPECT_NE(AreaFromTexts({"1", "1", "9e9", "2"}, TAreaUnits::Metres, fine, nullptr)
                  .Error.find("too large"),
              std::string::npos);
}

TEST(TypedArea, DegreesBecomeTheRectangleAroundTheBox) {
    const TGridState dkn = Grid(gkDKN);
    const TLonLatPoints utm(GridEpsg(gkDKN));
    const TTypedArea a = AreaFromTexts({"8", "54.5", "13", "57.8"}, TAreaUnits::Degrees, dkn, &utm);
    ASSERT_EQ(a.Error, "");
    // Every point of the box's edges lies within the rectangle, which is no larger
    // than it must be (the box's corners touch it within a metre).
    bool touchesWest = false, touchesEast = false;
    for (double lat = 54.5; lat <= 57.8 + 1e-9; lat += 0.1)
        for (double lon : {8.0, 13.0}) {
            pwnet::TFloatPoint m;
            ASSERT_TRUE(utm.FromLonLat({lon, lat}, m));
            EXPECT_GE(m.x, a.First.X - 1e-6);
            EXPECT_LE(m.x, a.Second.X + 1e-6);
            touchesWest = touchesWest || std::abs(m.x - a.First.X) < 1;
            touchesEast = touchesEast || std::abs(m.x - a.Second.X) < 1;
        }
    EXPECT_TRUE(touchesWest);
    EXPECT_TRUE(touchesEast);
    // A parallel dips south towards the zone's central meridian (9 degrees E), which
    // lies inside the box: the southern edge is there, not at a corner.
    pwnet::TFloatPoint south, corner;
    ASSERT_TRUE(utm.FromLonLat({9, 54.5}, south));
    ASSERT_TRUE(utm.FromLonLat({8, 54.5}, corner));
    EXPECT_NEAR(a.First.Y, south.y, 5);
    EXPECT_LT(a.First.Y, corner.y - 100);

    const struct {
        TAreaTexts Texts;
        const char* Error;
    } refused[] = {
        {{"8", "54.5", "190", "57.8"}, "East: 190 lies beyond +-180 degrees"},
        {{"8", "-91", "13", "57.8"}, "South: -91 lies beyond +-90 degrees"},
        {{"13", "54.5", "8", "57.8"}, "West must lie west of East, and South south of North"},
        {{"8", "57.8", "13", "57.8"}, "West must lie west of East, and South south of North"},
        {{"8", "54,5", "13", "n"}, "North: \"n\" is not a number"},
    };
    for (const auto& c : refused)
        EXPECT_EQ(AreaFromTexts(c.Texts, TAreaUnits::Degrees, dkn, &utm).Error, c.Error);
    EXPECT_EQ(AreaFromTexts({"8", "54.5", "13", "57.8"}, TAreaUnits::Degrees, dkn, nullptr).Error,
              "The box cannot be placed in the grid system's metres");
}

TEST(TypedArea, TextsOfTheCurrentCorners) {
    TGridState dkn = Grid(gkDKN);
    const TLonLatPoints utm(GridEpsg(gkDKN));
    EXPECT_EQ(TextsFromCorners(dkn, TAreaUnits::Metres, &utm), TAreaTexts{}); // none set
    dkn.SetCorners({724512.256, 6175498}, {440000, -3.5});
    EXPECT_EQ(TextsFromCorners(dkn, TAreaUnits::Metres, &utm),
              (TAreaTexts{"724512.26", "6175498", "440000", "-3.5"}));
    dkn.SetCorners({440000, 6040000}, {900000, 6410000});
    const TAreaTexts degrees = TextsFromCorners(dkn, TAreaUnits::Degrees, &utm);
    // The box around the rectangle, and back: a rectangle holding the first one.
    const TTypedArea back = AreaFromTexts(degrees, TAreaUnits::Degrees, dkn, &utm);
    ASSERT_EQ(back.Error, "") << degrees[0];
    EXPECT_LE(back.First.X, 440000);
    EXPECT_LE(back.First.Y, 6040000);
    EXPECT_GE(back.Second.X, 900000);
    EXPECT_GE(back.Second.Y, 6410000);
    EXPECT_EQ(TextsFromCorners(dkn, TAreaUnits::Degrees, nullptr), TAreaTexts{});
}

// --- Status texts ----------------------------------------------------------------------

TEST(RunSizeText, CellsSizeAndRefusals) {
    TGridState s = Grid(gkDKN);
    EXPECT_EQ(RunSizeText(s).Text, ""); // no area yet
    s.ChoosePreset(*FindPresetByCaption("Denmark only"));
    const TRunFormat& shp = *FindRunFormat(ftSHP);
    TRunSizeText t = RunSizeText(s);
    EXPECT_EQ(t.Text, "170200 cells, about " + HumanSize(170200LL * shp.FirstEstimate));
    EXPECT_FALSE(t.Refused);

    // The 2 GB limit of the format, in words.
    s.ChooseSize(1); // 100 m
    s.ChoosePreset(*FindPresetByCaption("All"));
    t = RunSizeText(s);
    const int64_t cells = int64_t{s.GridExtent.CellsX} * s.GridExtent.CellsY;
    EXPECT_TRUE(t.Refused);
    EXPECT_EQ(t.Text, std::to_string(cells) + " cells, about " +
                          HumanSize(cells * shp.FirstEstimate) + ": " +
                          std::string(shp.SizeLimitText));
    // MIF has no such limit.
    s.ChooseFormat(ftMIF);
    EXPECT_FALSE(RunSizeText(s).Refused);

    // TAB's bounds, in words (the MITAB adapter is built beside the tests).
    pwnet::LoadMitab();
    ASSERT_FALSE(ResolveRunFormat(ftTAB).FellBack());
    TGridState tab = Grid(gkDKN);
    tab.ChooseFormat(ftTAB);
    tab.SetCorners({50000, 6040000}, {900000, 6410000});
    t = RunSizeText(tab);
    EXPECT_TRUE(t.Refused);
    EXPECT_EQ(t.Text.rfind(std::to_string(int64_t{tab.GridExtent.CellsX} * tab.GridExtent.CellsY) +
                               " cells, about ",
                           0),
              0u);
    EXPECT_NE(t.Text.find(std::string(FindRunFormat(ftTAB)->OutsideBoundsText)), std::string::npos)
        << t.Text;

    // A state the run refuses by itself.
    TGridState far = Grid(gkEuroGrid);
    far.SetCorners({1, 1}, {3e9, 2});
    t = RunSizeText(far);
    EXPECT_TRUE(t.Refused);
    EXPECT_NE(t.Text.find("beyond"), std::string::npos) << t.Text;
}

TEST(CornersNotice, OnlyForCornersOffTheMap) {
    const pwnet::TFloatRect euroMap{900000, 500000, 7500000, 5900000};
    TGridState s = Grid(gkEuroGrid);
    EXPECT_EQ(CornersOutsideMapNotice(s, euroMap), ""); // no corners
    s.SetCorners({440000, 6040000}, {900000, 6410000}); // DKN's "Denmark only"
    EXPECT_EQ(CornersOutsideMapNotice(s, euroMap),
              "The kept corners lie outside the EuroGrid map: they may be another grid system's "
              "metres");
    s.SetCorners({4200000, 3500000}, {4700000, 3800000});
    EXPECT_EQ(CornersOutsideMapNotice(s, euroMap), "");
    EXPECT_EQ(CornersOutsideMapNotice(s, {}), ""); // no map
}

} // namespace
