// The size read-out shared by the window and quadrel-cli.

#include "errors.h"
#include "run_preview.h"

#include <gtest/gtest.h>

namespace quadrel {
namespace {

TEST(HumanSize, ReadsInTheNextUnitFromAThousandOn) {
    const std::pair<int64_t, const char*> cases[] = {
        {0, "0 bytes"},     {999, "999 bytes"},    {1000, "1.0 kB"},
        {35100, "35.1 kB"}, {35100000, "35.1 MB"}, {7704400000, "7.7 GB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(HumanSize(bytes), text) << bytes;
}

// Terabytes for the grids of 1 m cells; the unit follows the rounded figure, so a
// size just under a thousand of one unit reads as one of the next.
TEST(HumanSize, ReachesTerabytesAndNeverShowsAThousandOfAUnit) {
    const std::pair<int64_t, const char*> cases[] = {
        {999949, "999.9 kB"},        {999950, "1.0 MB"},       {999999999, "1.0 GB"},
        {12720000000000, "12.7 TB"}, {999999999999, "1.0 TB"}, {INT64_MAX, "9223372.0 TB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(HumanSize(bytes), text) << bytes;
}

// Without a folder the preview names only what needs none, and says so.
TEST(PreviewRun, WithoutAFolderMakesOnlyTheFormatsChecks) {
    TGridState s;
    s.ChooseGridKind(gkDKN);
    s.ChooseSize(1); // 100 m
    s.SetCorners({120000, 6000000}, {1000000, 6450000});
    const TRunPreview p = PreviewRun(s);
    EXPECT_FALSE(p.FolderChecked);
    EXPECT_EQ(p.Estimates.Cells, int64_t{8800} * 4500);
    ASSERT_TRUE(p.Refusal);
    EXPECT_EQ(p.Refusal->Outcome, TRunOutcome::TooLarge);
    EXPECT_EQ(p.Refusal->Texts,
              std::vector<std::string>{"SHP format can not handle >2 GB as output"});
    EXPECT_THROW(PreviewRun(TGridState()), ERangeError);
}

} // namespace
} // namespace quadrel
