// Lists of cells by name: reading them, their faults named by line, and how a grid
// state takes them.

#include "cell_list.h"
#include "errors.h"
#include "generation_run.h"
#include "run_preview.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace quadrel;

namespace {

TCellList Read(const std::string& Text) {
    std::istringstream in(Text);
    return ReadCellList(in);
}

TEST(CellList, ReadsNamesInTheirOrderAndTheirSpan) {
    // A byte-order mark, Windows line ends, blanks and empty lines are not names.
    const TCellList list =
        Read("\xEF\xBB\xBF  1km_6176_725\t\r\n\n1km_6175_724\r\n   \n1KM_6200_440");
    EXPECT_EQ(list.Kind, gkDKN);
    EXPECT_EQ(list.SizeTag, FindSizeByLabel(gkDKN, "1km")->Tag);
    EXPECT_EQ(list.Cells,
              (std::vector<TCellOrigin>{{725000, 6176000}, {724000, 6175000}, {440000, 6200000}}));
    EXPECT_EQ(list.Low, (TCornerPoint{440000, 6175000}));
    EXPECT_EQ(list.High, (TCornerPoint{726000, 6201000}));

    // Any style of EuroGrid code, one size.
    const TCellList euro = Read("1kmE4321N3210\nCRS3035RES1000mN3210000E4322000\n1kmN-1E-1\n");
    EXPECT_EQ(euro.Kind, gkEuroGrid);
    EXPECT_EQ(euro.Cells,
              (std::vector<TCellOrigin>{{4321000, 3210000}, {4322000, 3210000}, {-1000, -1000}}));
    EXPECT_EQ(euro.Low, (TCornerPoint{-1000, -1000}));
    EXPECT_EQ(euro.High, (TCornerPoint{4323000, 3211000}));
}

TEST(CellList, FaultsNameTheLine) {
    const struct {
        const char* Text;
        const char* Message;
    } cases[] = {
        {"1km_6175_724\n\n1km_6175_0724\n",
         "line 3: \"1km_6175_0724\" is not a cell name: the grid writes this cell as "
         "1km_6175_724"},
        {"1km_6175_724\n10km_617_72\n",
         "line 2: \"10km_617_72\" is a 10km cell, but the list begins with 1km cells (line 1); a "
         "list holds cells of one size"},
        {"\n1kmE4321N3210\n1km_6175_724\n",
         "line 3: \"1km_6175_724\" is a DKN cell, but the list begins with EuroGrid cells (line "
         "2)"},
        {"1km_6175_724\n1km_6176_724\n1KM_6175_724\n",
         "line 3: \"1KM_6175_724\" names the cell of line 1 again"},
        {"1kmE-1000N1\n",
         "line 1: \"1kmE-1000N1\" lies beyond EuroGrid's range: the cell origins are stored in "
         "fields of 7 digits, from -999999 to 9999999 m"},
        {"1km_3000000_1\n",
         "line 1: \"1km_3000000_1\" lies beyond the range of cell names: every cell corner must "
         "lie within 2147483647 m of the grid's origin"},
        {"100m_-2147483_-2147483\n",
         "line 1: \"100m_-2147483_-2147483\" lies beyond DKN's range: its identifier is longer "
         "than the 20 characters of its field"},
        {"1km_6175_724 1km_6176_724\n", "line 1: \"1km_6175_724 1km_6176_724\" is not a cell name"},
        {"\n \r\n", "the list names no cells"},
        {"", "the list names no cells"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        try {
            Read(c.Text);
            ADD_FAILURE() << "no error";
        } catch (const ERangeError& e) {
            EXPECT_TRUE(std::string_view(e.what()).starts_with(c.Message)) << e.what();
        }
    }
    // A long line is quoted shortened.
    try {
        Read(std::string(500, 'x'));
        ADD_FAILURE() << "no error";
    } catch (const ERangeError& e) {
        EXPECT_TRUE(std::string_view(e.what()).starts_with("line 1: \"" + std::string(60, 'x') +
                                                           "...\" is not a cell name"));
    }
}

TGridState Grid(TGridKind Kind, const char* Label) {
    TGridState s;
    s.ChooseGridKind(Kind);
    s.ChooseSize(FindSizeByLabel(Kind, Label)->Tag);
    return s;
}

TEST(CellList, TheStateSpansTheListedCells) {
    auto list = std::make_shared<const TCellList>(Read("1km_6176_725\n1km_6175_724\n"));
    TGridState s = Grid(gkDKN, "1km");
    ChooseListedCells(s, list);
    EXPECT_EQ(s.ListedCells, list);
    EXPECT_EQ(s.GridExtent, (TGridExtent{724000, 6175000, 726000, 6177000, 2, 2}));
    EXPECT_TRUE(s.ExtentShown);
    EXPECT_NO_THROW(CheckGridReady(s));

    // Cells with an easting of 0 (a corner X of 0 means "not set").
    for (const char* names : {"1kmE0N0\n1kmE1N1\n", "1kmE-1N0\n1kmE-2N1\n"}) {
        SCOPED_TRACE(names);
        TGridState z = Grid(gkEuroGrid, "1km");
        ChooseListedCells(z, std::make_shared<const TCellList>(Read(names)));
        EXPECT_TRUE(z.ExtentShown);
        EXPECT_NO_THROW(CheckGridReady(z));
    }

    // Another system or size refuses the list and changes nothing.
    TGridState other = Grid(gkDKN, "10km");
    EXPECT_THROW(ChooseListedCells(other, list), ERangeError);
    EXPECT_EQ(other.ListedCells, nullptr);
    EXPECT_FALSE(other.CornersSet());

    // A state changed after the list was chosen no longer matches it.
    s.ChooseSize(FindSizeByLabel(gkDKN, "10km")->Tag);
    EXPECT_THROW(CheckGridReady(s), ERangeError);
    TGridState moved = Grid(gkDKN, "1km");
    ChooseListedCells(moved, list);
    moved.SetCorners({724000, 6175000}, {725000, 6176000});
    EXPECT_THROW(CheckGridReady(moved), ERangeError);
}

// A list is estimated by its cells, not by the extent they span; a format without
// figures for points of its own is held to its squares'.
TEST(CellList, EstimatesCountTheListedCells) {
    TGridState s = Grid(gkDKN, "1km");
    ChooseListedCells(s, std::make_shared<const TCellList>(Read("1km_6175_724\n1km_6175_7245\n")));
    ASSERT_EQ(s.GridExtent.CellsX, 6522);
    const TRunFormat& shp = *FindRunFormat(ftSHP);
    EXPECT_EQ(EstimateGrid(shp, s).Cells, 2);
    EXPECT_EQ(EstimateGrid(shp, s).Second, 2 * shp.SecondEstimateDKN);

    s.CentrePoints = true;
    EXPECT_EQ(EstimateGrid(shp, s).First, 2 * shp.PointFirstEstimate);
    TRunFormat unmeasured = shp;
    unmeasured.PointFirstEstimate = unmeasured.PointSecondEstimateDKN = 0;
    EXPECT_EQ(EstimateGrid(unmeasured, s).First, 2 * shp.FirstEstimate);
    EXPECT_EQ(EstimateGrid(unmeasured, s).Second, 2 * shp.SecondEstimateDKN);
}

} // namespace
