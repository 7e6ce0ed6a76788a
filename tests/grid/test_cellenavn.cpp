// The place-name gazetteer of the Danish 10 km cells.

#include "cellenavn.h"

#include <gtest/gtest.h>
#include <set>
#include <utility>

using namespace quadrel;

namespace {

// Code points of valid UTF-8, or -1 when Text is not valid UTF-8.
int Utf8CodePoints(std::string_view Text) {
    int count = 0;
    for (size_t i = 0; i < Text.size(); ++count) {
        const auto b = static_cast<unsigned char>(Text[i]);
        const size_t len = b < 0x80         ? 1
                           : (b >> 5) == 6  ? 2
                           : (b >> 4) == 14 ? 3
                           : (b >> 3) == 30 ? 4
                                            : 0;
        if (len == 0 || i + len > Text.size())
            return -1;
        for (size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(Text[i + k]) >> 6) != 2)
                return -1;
        i += len;
    }
    return count;
}

TEST(Gazetteer, HoldsTheWholeTable) {
    const auto entries = Gazetteer();
    ASSERT_EQ(entries.size(), 485u);
    std::set<int32_t> eastings;
    std::set<std::pair<int32_t, int32_t>> corners;
    std::set<std::string_view> names;
    for (const auto& e : entries) {
        eastings.insert(e.Easting);
        corners.emplace(e.Easting, e.Northing);
        names.insert(e.Name);
    }
    EXPECT_EQ(eastings.size(), 33u);
    EXPECT_EQ(corners.size(), 485u) << "a corner occurs twice";
    EXPECT_EQ(names.size(), 485u) << "a name occurs twice";
    EXPECT_EQ(*eastings.begin(), 440000);
    EXPECT_EQ(*eastings.rbegin(), 890000);
}

TEST(Gazetteer, EntriesAreSortedCellCornersWithUsableNames) {
    const auto entries = Gazetteer();
    for (size_t i = 0; i < entries.size(); ++i) {
        const TPlaceEntry& e = entries[i];
        SCOPED_TRACE(std::string(e.Name));
        EXPECT_EQ(e.Easting % 10000, 0);
        EXPECT_EQ(e.Northing % 10000, 0);
        EXPECT_GE(e.Northing, 6050000);
        EXPECT_LE(e.Northing, 6390000);
        if (i > 0) {
            const TPlaceEntry& p = entries[i - 1];
            EXPECT_TRUE(p.Easting < e.Easting ||
                        (p.Easting == e.Easting && p.Northing < e.Northing));
        }
        // The name goes into a 40-character text field, quoted without escaping.
        const int length = Utf8CodePoints(e.Name);
        EXPECT_GT(length, 0);
        EXPECT_LE(length, 40);
        EXPECT_EQ(e.Name.find_first_of(",\""), std::string_view::npos);
        EXPECT_EQ(PlaceName(e.Easting, e.Northing), e.Name);
    }
}

TEST(Gazetteer, DanishLettersAreUtf8) {
    EXPECT_EQ(PlaceName(470000, 6180000), "\xC3\x98lgod"); // Ølgod
    EXPECT_EQ(PlaceName(570000, 6220000), "\xC3\x85rhus"); // Århus
    EXPECT_EQ(PlaceName(660000, 6200000), "Nyk\xC3\xB8"
                                          "bing Sj\xC3\xA6lland");
    EXPECT_EQ(Utf8CodePoints(PlaceName(660000, 6200000)), 17);
}

TEST(PlaceName, SpotChecks) {
    struct Case {
        int32_t Easting, Northing;
        const char* Name;
    } cases[] = {
        {440000, 6200000, "Hvide Sande"}, // the first entry
        {890000, 6120000, "Svaneke"},     // the last entry
        {860000, 6120000, "Rønne N"},
        {860000, 6110000, "Rønne S"},
        {860000, 6140000, "Sandvig/Allinge"},
        {470000, 6100000, "Husum-Ballum"},
        {500000, 6080000, "Bylderup-Bov"},
        {520000, 6130000, "Ødis-Bramdrup"},
        {590000, 6130000, "Odense SØ"},
        {590000, 6390000, "Skagen"},    // the northernmost
        {650000, 6050000, "Rødbyhavn"}, // the southernmost
        {720000, 6170000, "København"},
        {600000, 6260000, "Bønnerup Str"},
        {440000, 6210000, ""}, // between two entries of one easting
        {430000, 6200000, ""}, // west of the table
        {900000, 6120000, ""}, // east of it
        {600000, 6040000, ""}, // south of it
        {590000, 6400000, ""}, // north of it
        {750000, 6150000, ""}, // sea between Zealand and Bornholm
        {440001, 6200000, ""}, // no snapping: the corner must match exactly
        {440000, 6200001, ""},
        {6200000, 440000, ""}, // arguments swapped
        {0, 0, ""},
        {-440000, -6200000, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlaceName(c.Easting, c.Northing), c.Name) << c.Easting << ", " << c.Northing;
}

} // namespace
