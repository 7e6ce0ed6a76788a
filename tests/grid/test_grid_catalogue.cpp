// The grid catalogue: the size items of both grid systems with everything that
// choosing one sets, the format items, the preset areas and the lookups the
// command-line tool uses.

#include "errors.h"
#include "grid_catalogue.h"
#include "grid_state.h"

#include <gtest/gtest.h>
#include <vector>

using namespace quadrel;

namespace {

struct SizeCase {
    TGridKind Kind;
    int32_t Tag;
    const char* Caption;
    int32_t CellSize;
    const char* Label;
    int32_t DroppedDigits;
    uint32_t OutlineColour;
    const char* LongPrefix;
    const char* ShortPrefix;
    friend std::ostream& operator<<(std::ostream& os, const SizeCase& c) {
        return os << (c.Kind == gkDKN ? "DKN " : "EuroGrid ") << c.Label;
    }
};

const SizeCase SizeCases[] = {
    {gkEuroGrid, 1, "1 meter", 1, "1m", 0, 0, "EuroGrid_1m", "EG1m"},
    {gkEuroGrid, 4, "10 meter", 10, "10m", 0, 0, "EuroGrid_10m", "EG10m"},
    {gkEuroGrid, 7, "100 meter", 100, "100m", 0, 0, "EuroGrid_100m", "EG100m"},
    {gkEuroGrid, 10, "1 km", 1000, "1km", 0, 0, "EuroGrid_1km", "EG1km"},
    {gkEuroGrid, 13, "10 km", 10000, "10km", 0, 0, "EuroGrid_10km", "EG10km"},
    {gkEuroGrid, 16, "100 km", 100000, "100km", 0, 0, "EuroGrid_100km", "EG100km"},
    {gkEuroGrid, 19, "1000 km", 1000000, "1000km", 0, 0, "EuroGrid_1000km", "EG1000km"},
    {gkDKN, 1, "100 meter (hektar)", 100, "100m", 2, 255, "DKN_100m_euref89", "KN_100m"},
    {gkDKN, 2, "250 meter", 250, "250m", 1, 16760832, "DKN_250m_euref89", "KN_250m"},
    {gkDKN, 3, "1 km (basis)", 1000, "1km", 3, 16711680, "DKN_1km_euref89", "KN_1km"},
    {gkDKN, 4, "10 km (stednavne)", 10000, "10km", 4, 65280, "DKN_10km_euref89", "KN_10km"},
    {gkDKN, 5, "100 km (oversigt)", 100000, "100km", 5, 12632256, "DKN_100km_euref89", "KN_100km"},
    {gkDKN, 6, "500 meter (not standard)", 500, "500m", 2, 0, "DKN_500m_euref89", "KN_500m"},
    {gkDKN, 8, "2 km (not standard)", 2000, "2km", 3, 0, "DKN_2km_euref89", "KN_2km"},
    {gkDKN, 7, "5 km (not standard)", 5000, "5km", 3, 0, "DKN_5km_euref89", "KN_5km"},
};

class SizeItem : public testing::TestWithParam<SizeCase> {};

TEST_P(SizeItem, CatalogueEntryMatches) {
    const SizeCase& c = GetParam();
    const TGridSize* size = FindSizeByTag(c.Kind, c.Tag);
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->Caption, c.Caption);
    EXPECT_EQ(size->CellSize, c.CellSize);
    EXPECT_EQ(size->Label, c.Label);
    EXPECT_EQ(FindSizeByLabel(c.Kind, c.Label), size);
    if (c.Kind == gkDKN) {
        EXPECT_EQ(size->DroppedDigits, c.DroppedDigits);
        EXPECT_EQ(size->OutlineColour, c.OutlineColour);
    }
}

TEST_P(SizeItem, ChoosingItSetsTheStateWithTheLongPrefix) {
    const SizeCase& c = GetParam();
    TGridState s;
    s.ChooseGridKind(c.Kind);
    s.ChooseSize(c.Tag);
    EXPECT_EQ(s.SizeTag, c.Tag);
    EXPECT_EQ(s.CellSize, c.CellSize);
    EXPECT_EQ(s.FilePrefix, c.LongPrefix);
    if (c.Kind == gkDKN) {
        EXPECT_EQ(s.SizeLabel, c.Label);
        EXPECT_EQ(s.DroppedDigits, c.DroppedDigits);
        EXPECT_EQ(s.OutlineColour, c.OutlineColour);
    }
}

TEST_P(SizeItem, WithThe83FormatChosenThePrefixFitsEightCharacters) {
    const SizeCase& c = GetParam();
    TGridState s;
    s.ChooseGridKind(c.Kind);
    s.ChooseFormat(ftSHP83);
    s.ChooseSize(c.Tag);
    EXPECT_EQ(s.FilePrefix, c.ShortPrefix);
    EXPECT_LE(s.FilePrefix.size(), 8u);
}

INSTANTIATE_TEST_SUITE_P(BothGridSystems, SizeItem, testing::ValuesIn(SizeCases),
                         [](const auto& info) {
                             return std::string(info.param.Kind == gkDKN ? "DKN_" : "EuroGrid_") +
                                    info.param.Label;
                         });

std::vector<int32_t> MenuTags(TGridKind Kind) {
    std::vector<int32_t> tags;
    for (const auto& s : GridSizes(Kind))
        tags.push_back(s.Tag);
    return tags;
}

TEST(GridCatalogue, SizeMenusListTheirItemsInMenuOrder) {
    EXPECT_EQ(MenuTags(gkEuroGrid), (std::vector<int32_t>{1, 4, 7, 10, 13, 16, 19}));
    // 2 km (Tag 8) stands before 5 km (Tag 7); the separator before the 500 m item.
    EXPECT_EQ(MenuTags(gkDKN), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 8, 7}));
    std::vector<bool> standard;
    for (const auto& s : GridSizes(gkDKN))
        standard.push_back(s.Standard);
    EXPECT_EQ(standard, (std::vector<bool>{true, true, true, true, true, false, false, false}));
    EXPECT_TRUE(GridSizes(gkNone).empty());
}

TEST(GridCatalogue, GridSystemsAndTheirDefaultSizes) {
    ASSERT_EQ(GridSystems().size(), 2u);
    EXPECT_EQ(GridSystems()[0].Caption, "DKN (Danske Kvadratnet)");
    EXPECT_EQ(GridSystems()[1].Caption, "EuroGrid");
    EXPECT_EQ(DefaultSizeTag(gkEuroGrid), 13);
    EXPECT_EQ(DefaultSizeTag(gkDKN), 3);
    EXPECT_EQ(DefaultSizeTag(gkNone), 0);
    EXPECT_EQ(FindGridSystem(gkNone), nullptr);
}

TEST(GridCatalogue, SizeLabelLookup) {
    struct Case {
        TGridKind Kind;
        const char* Label;
        int32_t Tag; // 0: not found
    } cases[] = {
        {gkDKN, "1km", 3},       {gkDKN, "1KM", 3},        {gkDKN, "250m", 2},
        {gkDKN, "2km", 8},       {gkDKN, "5km", 7},        {gkDKN, "1m", 0},
        {gkDKN, "1000km", 0},    {gkDKN, "1 km", 0},       {gkDKN, "", 0},
        {gkDKN, "1km ", 0},      {gkEuroGrid, "1m", 1},    {gkEuroGrid, "1000km", 19},
        {gkEuroGrid, "250m", 0}, {gkEuroGrid, "10Km", 13}, {gkNone, "1km", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Label);
        const TGridSize* size = FindSizeByLabel(c.Kind, c.Label);
        if (c.Tag == 0)
            EXPECT_EQ(size, nullptr);
        else
            EXPECT_EQ(size ? size->Tag : -1, c.Tag);
    }
}

TEST(GridCatalogue, PresetAreas) {
    struct Case {
        const char* Caption;
        TCornerPoint First, Second;
    } cases[] = {
        {"All", {140000, 6020000}, {990000, 6460000}},
        {"Denmark only", {440000, 6040000}, {900000, 6410000}},
        {"Denmark only (without Bornholm)", {440000, 6040000}, {740000, 6410000}},
        {"Bornholm", {860000, 6100000}, {900000, 6150000}},
    };
    ASSERT_EQ(PresetAreas().size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].Caption);
        const TPresetArea& p = PresetAreas()[i];
        EXPECT_EQ(p.Caption, cases[i].Caption);
        EXPECT_EQ(p.FirstCorner, cases[i].First);
        EXPECT_EQ(p.SecondCorner, cases[i].Second);
        EXPECT_EQ(FindPresetByCaption(cases[i].Caption), &p);
    }
}

TEST(GridCatalogue, PresetCaptionLookupIgnoresCaseOnly) {
    EXPECT_EQ(FindPresetByCaption("denmark ONLY"), &PresetAreas()[1]);
    EXPECT_EQ(FindPresetByCaption("DENMARK ONLY (WITHOUT BORNHOLM)"), &PresetAreas()[2]);
    EXPECT_EQ(FindPresetByCaption("bornholm"), &PresetAreas()[3]);
    for (const char* wrong : {"Denmark", "Bornholm ", "Denmark only (without", "", "Alle"})
        EXPECT_EQ(FindPresetByCaption(wrong), nullptr) << wrong;
}

TEST(GridCatalogue, FormatItemsAndWhereTheyShow) {
    std::vector<int32_t> tags;
    for (const auto& f : FormatItems())
        tags.push_back(f.Tag);
    EXPECT_EQ(tags, (std::vector<int32_t>{ftMIF, ftTAB, ftSHP, ftSHP83, ftGPKG, ftGML}));
    EXPECT_EQ(FindFormatByTag(ftSHP83)->Caption, "ESRI SHP, 8+3 filename");
    EXPECT_EQ(FindFormatByTag(5), nullptr);

    struct Case {
        int32_t Tag;
        bool None, EuroGrid, DKN;
    } cases[] = {
        {ftMIF, false, true, true},  {ftSHP, false, true, true},   {ftSHP83, false, true, true},
        {ftTAB, false, false, true}, {ftGML, false, false, false}, {7, false, false, false},
        {ftGPKG, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Tag);
        EXPECT_EQ(FormatItemShown(gkNone, c.Tag), c.None);
        EXPECT_EQ(FormatItemShown(gkEuroGrid, c.Tag), c.EuroGrid);
        EXPECT_EQ(FormatItemShown(gkDKN, c.Tag), c.DKN);
    }
}

} // namespace
