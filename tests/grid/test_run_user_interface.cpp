// The run's user-interface interface: the busy cursor comes back however the
// guarded work ends.

#include "run_test_helpers.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace quadrel;

namespace {

TEST(BusyCursor, IsRestoredAfterNormalWork) {
    testutil::FakeUserInterface ui;
    {
        TBusyCursor busy(ui);
        EXPECT_EQ(ui.CursorDepth, 1);
        ui.SetProgressPosition(1);
    }
    EXPECT_EQ(ui.CursorDepth, 0);
    EXPECT_EQ(ui.Calls, (std::vector<std::string>{"BusyCursor", "Progress 1", "RestoreCursor"}));
}

// An error in the middle of writing must not leave the hourglass behind.
TEST(BusyCursor, IsRestoredWhenAnErrorEndsTheWork) {
    testutil::FakeUserInterface ui;
    EXPECT_THROW(
        {
            TBusyCursor busy(ui);
            throw std::runtime_error("Stream write error");
        },
        std::runtime_error);
    EXPECT_EQ(ui.CursorDepth, 0);
    EXPECT_EQ(ui.Calls.back(), "RestoreCursor");
}

} // namespace
