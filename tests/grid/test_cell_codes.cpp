// Cell codes and parents: the EuroGrid codes of every style and size, the parent
// cells of every DKN and EuroGrid size, the fields and attribute texts the options
// add, reading names back, and the cells at a point.

#include "cell_codes.h"
#include "cell_name_parser.h"
#include "cell_naming.h"

#include <gtest/gtest.h>
#include <map>
#include <tuple>

using namespace quadrel;

namespace {

const TGridSize& Size(TGridKind Kind, const char* Label) {
    const TGridSize* s = FindSizeByLabel(Kind, Label);
    EXPECT_NE(s, nullptr) << Label;
    return *s;
}

TGridState StateFor(TGridKind Kind, const char* Label, TCellCodeStyle Code = TCellCodeStyle::None,
                    bool Parents = false) {
    TGridState s;
    s.ChooseGridKind(Kind);
    s.ChooseSize(Size(Kind, Label).Tag);
    s.CellCode = Code;
    s.ParentCells = Parents;
    return s;
}

constexpr auto EEA = TCellCodeStyle::EEA;
constexpr auto Inspire = TCellCodeStyle::Inspire;
constexpr auto Short = TCellCodeStyle::InspireShort;

struct CodeCase {
    TCellCodeStyle Style;
    const char* Label;
    int64_t E, N;
    const char* Code;
};

// Every size in every style, with the examples of the EEA and INSPIRE grids and
// corners west and south of the LAEA false origin.
const CodeCase Codes[] = {
    {EEA, "1km", 4321000, 3210000, "1kmE4321N3210"},
    {EEA, "10km", 4320000, 3210000, "10kmE432N321"},
    {EEA, "100km", 4300000, 3200000, "100kmE43N32"},
    {EEA, "100m", 4321000, 3210000, "100mE43210N32100"},
    {EEA, "1m", 4321001, 3210002, "1mE4321001N3210002"},
    {EEA, "10m", 4321010, 3210020, "10mE432101N321002"},
    {EEA, "1000km", 4000000, 3000000, "1000kmE4N3"},
    {EEA, "1km", -1000, -250000, "1kmE-1N-250"},
    {EEA, "10km", 0, 0, "10kmE0N0"},
    {Inspire, "1km", 4321000, 3210000, "CRS3035RES1000mN3210000E4321000"},
    {Inspire, "1m", 4321001, 3210002, "CRS3035RES1mN3210002E4321001"},
    {Inspire, "1000km", 4000000, 3000000, "CRS3035RES1000000mN3000000E4000000"},
    {Inspire, "100m", -100, -999900, "CRS3035RES100mN-999900E-100"},
    {Short, "1km", 4321000, 3210000, "1kmN3210E4321"},
    {Short, "100m", 4321000, 3210000, "100mN32100E43210"},
    {Short, "1000km", 4000000, 3000000, "1000kmN3E4"},
    {Short, "10km", -10000, 20000, "10kmN2E-1"},
};

TEST(EuroGridCode, EveryStyleAndSize) {
    for (const CodeCase& c : Codes) {
        SCOPED_TRACE(c.Code);
        const TGridSize& size = Size(gkEuroGrid, c.Label);
        EXPECT_EQ(EuroGridCode(c.Style, size, c.E, c.N), c.Code);
        EXPECT_EQ(CellName(gkEuroGrid, c.Style, size, c.E, c.N), c.Code);
    }
    // Without a style the parents are named in the EEA's.
    EXPECT_EQ(EuroGridCode(TCellCodeStyle::None, Size(gkEuroGrid, "1km"), 4321000, 3210000),
              "1kmE4321N3210");
}

TEST(EuroGridCode, NamesReadBackToTheirCells) {
    for (const CodeCase& c : Codes) {
        SCOPED_TRACE(c.Code);
        TNamedCell cell;
        ASSERT_EQ(ParseCellName(c.Code, cell), "");
        EXPECT_EQ(cell.Kind, gkEuroGrid);
        EXPECT_EQ(cell.Size, &Size(gkEuroGrid, c.Label));
        EXPECT_EQ(cell.Style, c.Style);
        EXPECT_EQ(std::tie(cell.Easting, cell.Northing), std::tie(c.E, c.N));
    }
}

TEST(CodeStyles, NamesAndFields) {
    EXPECT_EQ(FindCellCodeStyle("EEA"), EEA);
    EXPECT_EQ(FindCellCodeStyle("inspire-short"), Short);
    EXPECT_EQ(FindCellCodeStyle("inspire_short"), std::nullopt);
    for (TCellCodeStyle s : {TCellCodeStyle::None, EEA, Inspire, Short})
        EXPECT_EQ(FindCellCodeStyle(CellCodeStyleName(s)), s);
    EXPECT_EQ(CellCodeField(EEA), "CELLCODE");
    EXPECT_EQ(CellCodeField(Inspire), "GRD_ID");
    EXPECT_EQ(CellCodeField(Short), "GRD_ID");
}

// The width of a code field fits the codes of the lowest and highest cells the run
// writes (origins from -999999 to 9999999 m) and of the cells that hold them, and
// wastes nothing.
TEST(EuroGridCode, FieldWidthsFitTheLongestCode) {
    const struct {
        TCellCodeStyle Style;
        const char *Code, *Cell;
        int32_t Width;
    } cases[] = {
        {EEA, "1km", "1km", 13},       // 1kmE-999N-999, 1kmE9999N9999
        {EEA, "1m", "1m", 18},         // 1mE9999999N9999999
        {EEA, "1000km", "1000km", 10}, // 1000kmE9N9
        {EEA, "1000km", "1km", 12},    // 1000kmE-1N-1: the parent of -999000
        {Inspire, "1km", "1km", 31},   // CRS3035RES1000mN-999000E-999000
        {Inspire, "10km", "1km", 34},  // CRS3035RES10000mN-1000000E-1000000
        {Short, "100m", "100m", 16},   // 100mN99999E99999
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Code) + " for " + c.Cell);
        EXPECT_EQ(EuroGridCodeWidth(c.Style, Size(gkEuroGrid, c.Code), Size(gkEuroGrid, c.Cell)),
                  c.Width);
    }
}

TEST(OriginOf, CellsNorthAndEastOfALine) {
    EXPECT_EQ(OriginOf(1999, 1000), 1000);
    EXPECT_EQ(OriginOf(2000, 1000), 2000);
    EXPECT_EQ(OriginOf(-1, 1000), -1000);
    EXPECT_EQ(OriginOf(-1000, 1000), -1000);
    EXPECT_EQ(OriginOf(-1001, 1000), -2000);
}

// The standard nesting of DKN: the parents of every size, and their names for the
// cell at (724300, 6175800).
TEST(DknParents, EverySize) {
    const struct {
        const char* Label;
        const char* Attributes; // the cell's own and its parents' identifiers
    } cases[] = {
        {"100m", R"("100m_61758_7243","1km_6175_724","10km_617_72","100km_61_7")"},
        {"250m", R"("250m_617575_72425","1km_6175_724","10km_617_72","100km_61_7")"},
        {"500m", R"("500m_61755_7240","1km_6175_724","10km_617_72","100km_61_7")"},
        {"1km", R"("1km_6175_724","10km_617_72","100km_61_7")"},
        {"2km", R"("2km_6174_724","10km_617_72","100km_61_7")"},
        {"5km", R"("5km_6175_720","10km_617_72","100km_61_7")"},
        {"10km", R"("10km_617_72","København","100km_61_7")"},
        {"100km", R"("100km_61_7")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Label);
        const TGridState s = StateFor(gkDKN, c.Label, TCellCodeStyle::None, true);
        const auto e = static_cast<int32_t>(OriginOf(724300, s.CellSize));
        const auto n = static_cast<int32_t>(OriginOf(6175800, s.CellSize));
        EXPECT_EQ(AttributeText(s, e, n), c.Attributes);
    }
    std::vector<int32_t> sizes;
    for (const TGridSize* p : ParentSizes(gkDKN, Size(gkDKN, "250m")))
        sizes.push_back(p->CellSize);
    EXPECT_EQ(sizes, (std::vector<int32_t>{1000, 10000, 100000}));
    EXPECT_TRUE(ParentSizes(gkDKN, Size(gkDKN, "100km")).empty());
}

// Parent fields of each system and style: the names fit a dBASE field name.
TEST(CodeFields, OwnCodeThenParentsAfterTheCellsFields) {
    const struct {
        TGridState State;
        std::vector<std::tuple<std::string, bool, int32_t>> Fields;
    } cases[] = {
        {StateFor(gkDKN, "100m", TCellCodeStyle::None, true),
         {{"KN100mDK", false, 20},
          {"KN1kmDK", false, 20},
          {"KN10kmDK", false, 20},
          {"KN100kmDK", false, 20}}},
        {StateFor(gkDKN, "10km", TCellCodeStyle::None, true),
         {{"KN10kmDK", false, 20}, {"Stednavn", false, 40}, {"KN100kmDK", false, 20}}},
        // a style means nothing to DKN cells
        {StateFor(gkDKN, "1km", EEA, false), {{"KN1kmDK", false, 20}}},
        {StateFor(gkEuroGrid, "1km", EEA, false),
         {{"eoforigin", true, 7}, {"noforigin", true, 7}, {"CELLCODE", false, 13}}},
        {StateFor(gkEuroGrid, "100km", TCellCodeStyle::None, true),
         {{"eoforigin", true, 7}, {"noforigin", true, 7}, {"CC_1000km", false, 12}}},
        {StateFor(gkEuroGrid, "1m", Short, true),
         // the parents of -999999 lie at -1000000: 10mN-100000E-100000, ...
         {{"eoforigin", true, 7},
          {"noforigin", true, 7},
          {"GRD_ID", false, 18},
          {"GRD_10m", false, 19},
          {"GRD_100m", false, 18},
          {"GRD_1km", false, 15},
          {"GRD_10km", false, 14},
          {"GRD_100km", false, 13},
          {"GRD_1000km", false, 12}}},
        {StateFor(gkEuroGrid, "1000km", Inspire, true),
         {{"eoforigin", true, 7}, {"noforigin", true, 7}, {"GRD_ID", false, 34}}},
    };
    for (const auto& c : cases) {
        std::vector<std::tuple<std::string, bool, int32_t>> got;
        for (const TCellField& f : CellFields(c.State)) {
            got.emplace_back(f.Name, f.Numeric, f.Width);
            EXPECT_LE(f.Name.size(), 10u) << f.Name;
        }
        EXPECT_EQ(got, c.Fields);
    }
}

TEST(CodeTexts, AttributeTextOfEachStyle) {
    const struct {
        TGridState State;
        int32_t E, N;
        const char* Text;
    } cases[] = {
        {StateFor(gkEuroGrid, "1km", EEA), 4321000, 3210000, R"(4321000,3210000,"1kmE4321N3210")"},
        {StateFor(gkEuroGrid, "1km", Inspire, true), 4321000, 3210000,
         R"(4321000,3210000,"CRS3035RES1000mN3210000E4321000","CRS3035RES10000mN3210000E4320000",)"
         R"("CRS3035RES100000mN3200000E4300000","CRS3035RES1000000mN3000000E4000000")"},
        {StateFor(gkEuroGrid, "10km", TCellCodeStyle::None, true), -10000, -990000,
         R"(-10000,-990000,"100kmE-1N-10","1000kmE-1N-1")"},
        {StateFor(gkEuroGrid, "100km", Short, true), 4300000, 3200000,
         R"(4300000,3200000,"100kmN32E43","1000kmN3E4")"},
        // without the options the text is today's
        {StateFor(gkEuroGrid, "1km"), 4321000, 3210000, "4321000,3210000"},
        {StateFor(gkDKN, "1km"), 724000, 6175000, R"("1km_6175_724")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        TCellNamer namer(c.State);
        EXPECT_EQ(namer.AttributeText(c.E, c.N), c.Text);
    }
}

// The window's cursor read-out names the cell in the chosen style.
TEST(CellAt, NameHonoursTheCodeStyle) {
    EXPECT_EQ(CellNameAt(StateFor(gkEuroGrid, "1km"), 4321500, 3210500), "4321000, 3210000");
    EXPECT_EQ(CellNameAt(StateFor(gkEuroGrid, "1km", EEA), 4321500, 3210500), "1kmE4321N3210");
    EXPECT_EQ(CellNameAt(StateFor(gkEuroGrid, "1km", Inspire), 4321000, 3210000),
              "CRS3035RES1000mN3210000E4321000");
    EXPECT_EQ(CellNameAt(StateFor(gkEuroGrid, "10km", Short), -1, -1), "10kmN-1E-1");
    EXPECT_EQ(CellNameAt(StateFor(gkDKN, "1km", EEA), 724352, 6175804), "1km_6175_724");
}

// Copenhagen city hall, at about (724352, 6175804): its cell of every size, and the
// parents written with its 100 m cell are the cells found at the point.
TEST(CellsAt, CopenhagenCityHallInEverySize) {
    const std::vector<TCellAt> cells = CellsAt(gkDKN, 724352, 6175804, TCellCodeStyle::None);
    ASSERT_EQ(cells.size(), GridSizes(gkDKN).size());
    std::map<std::string, std::string> names;
    for (const TCellAt& c : cells) {
        ASSERT_EQ(c.Names.size(), 1u);
        names[std::string(c.Size->Label)] = c.Names[0];
        EXPECT_LE(c.LowerLeft.X, 724352);
        EXPECT_LT(724352, c.UpperRight.X);
        EXPECT_LE(c.LowerLeft.Y, 6175804);
        EXPECT_LT(6175804, c.UpperRight.Y);
        EXPECT_EQ(c.UpperRight.X - c.LowerLeft.X, c.Size->CellSize);
        EXPECT_EQ(c.HasPlaceName, c.Size->CellSize == 10000);
    }
    EXPECT_EQ(names["1km"], "1km_6175_724");
    EXPECT_EQ(names["100m"], "100m_61758_7243");
    const TGridState s = StateFor(gkDKN, "100m", TCellCodeStyle::None, true);
    EXPECT_EQ(AttributeText(s, 724300, 6175800), "\"" + names["100m"] + "\",\"" + names["1km"] +
                                                     "\",\"" + names["10km"] + "\",\"" +
                                                     names["100km"] + "\"");
    EXPECT_EQ(cells[3].PlaceName, "København");

    // A point on a line belongs to the cell north and east of it; one size only.
    const auto one = CellsAt(gkEuroGrid, 4321000, 3210000, EEA, &Size(gkEuroGrid, "10km"));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].Names, std::vector<std::string>{"10kmE432N321"});
    EXPECT_EQ(one[0].LowerLeft, (TCornerPoint{4320000, 3210000}));
    const auto all = CellsAt(gkEuroGrid, 4321000, 3210000, TCellCodeStyle::None);
    EXPECT_EQ(all[3].Names,
              (std::vector<std::string>{"1kmE4321N3210", "CRS3035RES1000mN3210000E4321000",
                                        "1kmN3210E4321"}));
    EXPECT_TRUE(CellsAt(gkDKN, 1e12, 0, TCellCodeStyle::None).empty());
}

TEST(ParseCellName, DknIdentifiersOfEverySize) {
    const struct {
        const char* Name;
        const char* Label;
        int64_t E, N;
    } cases[] = {
        {"1km_6123_456", "1km", 456000, 6123000},
        {"250m_612325_45675", "250m", 456750, 6123250},
        {"100m_61234_4567", "100m", 456700, 6123400},
        {"10km_612_86", "10km", 860000, 6120000},
        {"100km_61_4", "100km", 400000, 6100000},
        {"500m_62005_4405", "500m", 440500, 6200500},
        {"2km_6202_440", "2km", 440000, 6202000},
        {"5km_6205_445", "5km", 445000, 6205000},
        {"1KM_6123_456", "1km", 456000, 6123000}, // letters in any case
        {"1km_6200_", "1km", 0, 6200000},         // a corner at 0 leaves its part empty
        {"100m_-1_-25", "100m", -2500, -100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TNamedCell cell;
        ASSERT_EQ(ParseCellName(c.Name, cell), "");
        EXPECT_EQ(cell.Kind, gkDKN);
        EXPECT_EQ(cell.Size, &Size(gkDKN, c.Label));
        EXPECT_EQ(std::tie(cell.Easting, cell.Northing), std::tie(c.E, c.N));
    }
}

TEST(ParseCellName, NamesTheGridNeverWrites) {
    const struct {
        const char* Name;
        const char* Reason; // the start of the reason
    } cases[] = {
        {"", "it begins with neither"},
        {"hello", "it begins with neither"},
        {"1km", "it begins with neither"},
        {"1km-6200-440", "after the size 1km comes"},
        {"3km_6200_440", "3km is not a DKN cell size (100m, 250m, 1km"},
        {"1m_6200_440", "1m is not a DKN cell size"},
        {"1km_6200", "a DKN identifier is"},
        {"1km_6200_440_1", "a DKN identifier is"},
        {"1km_62x0_440", "a DKN identifier is"},
        {"1km_-_440", "a DKN identifier is"},
        {"1km_6200_0440", "the grid writes this cell as 1km_6200_440"},
        {"1km_6200_+440", "a DKN identifier is"},
        {"1km_6200_0", "the grid writes this cell as 1km_6200_"},
        {"250m_612326_45675", "(456750, 6123260) is not the lower-left corner of a 250m cell"},
        {"5km_6206_445", "(445000, 6206000) is not the lower-left corner of a 5km cell"},
        {"1km_99999999999999999999_1", "its numbers are too large"},
        {"2kmE4321N3210", "2km is not a EuroGrid cell size"},
        {"1kmE4321", "an EEA code is"},
        {"1kmE4321N3210x", "an EEA code is"},
        {"1kmE4321N-0", "the grid writes this cell as 1kmE4321N0"},
        {"1kmN3210", "a short INSPIRE code is"},
        {"1kmE99999999999999999N1", "its numbers are too large"},
        {"1kmE9999999999999999N1", "its numbers are too large"},
        {"CRS3035RES", "it begins with neither"},
        {"CRS3035RES1000mN3210000", "an INSPIRE code is"},
        {"CRS3035RES1000N3210000E4321000", "an INSPIRE code is"},
        {"CRS3035RES2000mN0E0", "RES2000m is not a EuroGrid cell size"},
        {"CRS3035RES1000mN3210500E4321000", "(4321000, 3210500) is not the lower-left corner"},
        {"CRS3035RES1000mN03210000E4321000",
         "the grid writes this cell as CRS3035RES1000mN3210000E4321000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TNamedCell cell;
        cell.Easting = 17;
        const std::string reason = ParseCellName(c.Name, cell);
        EXPECT_TRUE(reason.starts_with(c.Reason)) << reason;
        EXPECT_EQ(cell.Easting, 17); // untouched
    }
}

} // namespace
