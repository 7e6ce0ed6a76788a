// Cell names: identifier parts, DKN identifiers, field names and the attribute
// text of one cell for each grid system and size.

#include "cell_naming.h"

#include <gtest/gtest.h>
#include <limits>

using namespace quadrel;

namespace {

TEST(CellIdPart, CutsTrailingDigitsWithoutRounding) {
    struct Case {
        int32_t Value, Dropped;
        const char* Expected;
    } cases[] = {
        {6123000, 3, "6123"},
        {456750, 1, "45675"},
        {6123400, 2, "61234"},
        {6199999, 3, "6199"}, // cut, not rounded
        {400000, 5, "4"},
        {123, 3, ""},
        {12, 3, ""},
        {0, 0, "0"},
        {0, 1, ""},
        {-5000, 3, "-5"},
        {-500, 3, "-"},
        {42, 0, "42"},
        {42, -1, "42"},
        {std::numeric_limits<int32_t>::min(), 0, "-2147483648"},
        {std::numeric_limits<int32_t>::max(), 9, "2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CellIdPart(c.Value, c.Dropped), c.Expected) << c.Value << " minus " << c.Dropped;
}

struct IdCase {
    const char* Label;
    int32_t Dropped;
    int32_t Easting, Northing;
    const char* Id;
    friend std::ostream& operator<<(std::ostream& os, const IdCase& c) { return os << c.Id; }
};

class DknCellId : public testing::TestWithParam<IdCase> {};

TEST_P(DknCellId, NorthingComesFirst) {
    const IdCase& c = GetParam();
    EXPECT_EQ(CellId(c.Easting, c.Northing, c.Label, c.Dropped), c.Id);
}

INSTANTIATE_TEST_SUITE_P(Sizes, DknCellId,
                         testing::Values(IdCase{"1km", 3, 456000, 6123000, "1km_6123_456"},
                                         IdCase{"250m", 1, 456750, 6123250, "250m_612325_45675"},
                                         IdCase{"100m", 2, 456700, 6123400, "100m_61234_4567"},
                                         IdCase{"10km", 4, 860000, 6120000, "10km_612_86"},
                                         IdCase{"100km", 5, 400000, 6100000, "100km_61_4"},
                                         IdCase{"500m", 2, 440500, 6200500, "500m_62005_4405"},
                                         IdCase{"2km", 3, 440000, 6202000, "2km_6202_440"},
                                         IdCase{"5km", 3, 445000, 6205000, "5km_6205_445"},
                                         // fewer digits than dropped: two underscores in a row
                                         IdCase{"1km", 3, 500, 6200000, "1km_6200_"},
                                         IdCase{"1km", 3, 500, 900, "1km__"}));

TEST(DknFieldName, LabelBetweenKnAndDk) {
    EXPECT_EQ(DKNFieldName("1km"), "KN1kmDK");
    EXPECT_EQ(DKNFieldName("10km"), "KN10kmDK");
    EXPECT_EQ(DKNFieldName("250m"), "KN250mDK");
}

TGridState StateFor(TGridKind Kind, const char* Label) {
    TGridState s;
    s.ChooseGridKind(Kind);
    s.ChooseSize(FindSizeByLabel(Kind, Label)->Tag);
    return s;
}

struct AttributeCase {
    const char* Name;
    TGridKind Kind;
    const char* Label;
    int32_t Easting, Northing;
    const char* Text;
    friend std::ostream& operator<<(std::ostream& os, const AttributeCase& c) {
        return os << c.Name;
    }
};

class Attributes : public testing::TestWithParam<AttributeCase> {};

TEST_P(Attributes, TextOfOneCell) {
    const AttributeCase& c = GetParam();
    const TGridState s = StateFor(c.Kind, c.Label);
    EXPECT_EQ(AttributeText(s, c.Easting, c.Northing), c.Text);
    TCellNamer namer(s);
    EXPECT_EQ(namer.AttributeText(c.Easting, c.Northing), c.Text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Attributes,
    testing::Values(
        AttributeCase{"EuroGridOrigin", gkEuroGrid, "10km", 4321000, 3210000, "4321000,3210000"},
        // the EuroGrid size plays no part: full metres, nothing dropped, no quotes
        AttributeCase{"EuroGrid1m", gkEuroGrid, "1m", 4321001, 3210002, "4321001,3210002"},
        AttributeCase{"EuroGrid1000km", gkEuroGrid, "1000km", 4000000, 3000000, "4000000,3000000"},
        AttributeCase{"Dkn1km", gkDKN, "1km", 456000, 6123000, "\"1km_6123_456\""},
        AttributeCase{"Dkn250m", gkDKN, "250m", 456750, 6123250, "\"250m_612325_45675\""},
        AttributeCase{"Dkn100km", gkDKN, "100km", 400000, 6100000, "\"100km_61_4\""},
        AttributeCase{"Dkn10kmWithPlace", gkDKN, "10km", 860000, 6120000,
                      "\"10km_612_86\",\"Rønne N\""},
        AttributeCase{"Dkn10kmAtSea", gkDKN, "10km", 440000, 6210000, "\"10km_621_44\",\"\""},
        // 5 km cells are not place-name cells even where a 10 km corner has a name
        AttributeCase{"Dkn5kmHasNoPlace", gkDKN, "5km", 860000, 6120000, "\"5km_6120_860\""}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(CellNamer, ReusesItsBufferAndKeepsItsOwnCopyOfTheSize) {
    TGridState s = StateFor(gkDKN, "10km");
    TCellNamer namer(s);
    s.ChooseSize(3); // a later size change does not reach a namer already made
    EXPECT_EQ(namer.AttributeText(890000, 6120000), "\"10km_612_89\",\"Svaneke\"");
    const std::string& text = namer.AttributeText(860000, 6110000);
    EXPECT_EQ(text, "\"10km_611_86\",\"Rønne S\"");
    EXPECT_EQ(&text, &namer.AttributeText(870000, 6130000));
    EXPECT_EQ(text, "\"10km_613_87\",\"Gudhjem\"");
}

TEST(CellFields, SchemaInTheOrderOfTheAttributeText) {
    struct Case {
        TGridKind Kind;
        const char* Label;
        std::vector<std::tuple<std::string, bool, int32_t>> Fields;
    } cases[] = {
        {gkEuroGrid, "10km", {{"eoforigin", true, 7}, {"noforigin", true, 7}}},
        {gkEuroGrid, "1m", {{"eoforigin", true, 7}, {"noforigin", true, 7}}},
        {gkDKN, "10km", {{"KN10kmDK", false, 20}, {"Stednavn", false, 40}}},
        {gkDKN, "1km", {{"KN1kmDK", false, 20}}},
        {gkDKN, "2km", {{"KN2kmDK", false, 20}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Label);
        std::vector<std::tuple<std::string, bool, int32_t>> got;
        for (const auto& f : CellFields(StateFor(c.Kind, c.Label)))
            got.emplace_back(f.Name, f.Numeric, f.Width);
        EXPECT_EQ(got, c.Fields);
    }
}

TEST(CellFields, PlaceNamesOnlyForDkn10km) {
    EXPECT_TRUE(HasPlaceNames(StateFor(gkDKN, "10km")));
    EXPECT_FALSE(HasPlaceNames(StateFor(gkDKN, "1km")));
    EXPECT_FALSE(HasPlaceNames(StateFor(gkEuroGrid, "10km")));
}

} // namespace

// The cell at a point: a point on a cell line belongs to the cell to its north and
// east, also west and south of the grid's origin.
TEST(CellAt, NamesTheCellToTheNorthAndEastOfALine) {
    TGridState dkn;
    dkn.ChooseGridKind(gkDKN); // 1 km
    TGridState euro;
    euro.ChooseGridKind(gkEuroGrid); // 10 km
    struct Case {
        const TGridState& State;
        double X, Y;
        const char* Name;
    };
    const Case cases[] = {
        {dkn, 724352, 6175804, "1km_6175_724"}, // Copenhagen city hall
        {dkn, 724000, 6175000, "1km_6175_724"}, // the cell's own corner
        {dkn, 723999.999, 6174999.999, "1km_6174_723"},
        {euro, 4321000, 3210000, "4320000, 3210000"},
        {euro, -0.5, -10000, "-10000, -10000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(CellNameAt(c.State, c.X, c.Y), c.Name);
    }
    EXPECT_EQ(CellNameAt(TGridState(), 1, 1), "");
    EXPECT_EQ(CellNameAt(dkn, 1e300, 1), "");
}

// A namer fed one cell after another updates the text of the cell before in place
// (the northing's digits, counted up by one between neighbours). Whatever the order,
// each text must be the one a fresh namer gives: columns south to north across a
// change in the number of digits (999 to 1000), a jump back south, a new column,
// two cells in one place, and negative corners.
struct SequenceCase {
    const char* Label;
    std::vector<std::pair<int32_t, int32_t>> Cells; // easting, northing
};

const SequenceCase Sequences[] = {
    {"100m",
     {{440000, 99700},
      {440000, 99800},
      {440000, 99900},
      {440000, 100000},
      {440000, 100100},
      {440000, 99900},
      {440100, 99900},
      {440100, 100000},
      {440100, 100000},
      {440100, 6040000}}},
    {"1km", {{456000, 998000}, {456000, 999000}, {456000, 1000000}, {456000, 1001000}}},
    {"1km", {{-2000, -2000}, {-2000, -1000}, {-2000, 0}, {-2000, 1000}, {-1000, 1000}}},
    {"250m", {{456750, 6123000}, {456750, 6123250}, {456750, 6123500}, {457000, 6123500}}},
    {"10km", {{860000, 6100000}, {860000, 6110000}, {860000, 6120000}, {870000, 6130000}}},
    {"100m", {{500, 0}, {500, 100}, {500, 900}, {500, 1000}, {0, 1000}}},
};

TEST(CellNamer, TextsInSequenceAreTheTextsOfSingleCells) {
    for (const auto& c : Sequences) {
        const TGridState s = StateFor(gkDKN, c.Label);
        TCellNamer namer(s);
        for (const auto& [e, n] : c.Cells)
            EXPECT_EQ(namer.AttributeText(e, n), AttributeText(s, e, n))
                << c.Label << " cell " << e << ", " << n;
    }
}

// The texts of a run of cells, appended one after another, are those texts too.
TEST(CellNamer, AppendedTextsInSequenceAreTheTextsOfSingleCells) {
    for (const auto& c : Sequences) {
        const TGridState s = StateFor(gkDKN, c.Label);
        TCellNamer namer(s);
        std::string run = "before";
        std::string expected = run;
        for (const auto& [e, n] : c.Cells) {
            namer.AppendAttributeText(e, n, run);
            expected += AttributeText(s, e, n);
            EXPECT_EQ(run, expected) << c.Label << " cell " << e << ", " << n;
        }
    }
}
