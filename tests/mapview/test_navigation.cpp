// The arithmetic of wheel zoom and drag panning, without a widget.

#include "PlaniNavigation.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace plani;

namespace {

// Where a point lies within a rectangle, as fractions of its width and height.
TFloatPoint Relative(const TFloatRect& r, const TFloatPoint& p) {
    return {(p.X - r.Left) / (r.Right - r.Left), (p.Y - r.Bottom) / (r.Top - r.Bottom)};
}

TEST(Navigation, ZoomKeepsTheAnchorInItsPlace) {
    const TFloatRect view{100000, 6500000, 1000000, 6000000};
    const struct {
        TFloatPoint Anchor;
        double Factor;
    } cases[] = {
        {{724512, 6175498}, 1.25}, // closer about a point off centre
        {{724512, 6175498}, 0.8},  // farther about the same point
        {{100000, 6000000}, 4.0},  // about a corner
        {{550000, 6250000}, 1.25}, // about the centre
        {{-5e6, 7e6}, 2.0},        // about a point outside the view
    };
    for (const auto& c : cases) {
        const TFloatRect z = ZoomFloatRectAbout(view, c.Anchor, c.Factor);
        EXPECT_NEAR(z.Right - z.Left, (view.Right - view.Left) / c.Factor, 1e-6);
        EXPECT_NEAR(z.Top - z.Bottom, (view.Top - view.Bottom) / c.Factor, 1e-6);
        const TFloatPoint before = Relative(view, c.Anchor), after = Relative(z, c.Anchor);
        EXPECT_NEAR(after.X, before.X, 1e-12) << c.Factor;
        EXPECT_NEAR(after.Y, before.Y, 1e-12) << c.Factor;
    }
    // A factor that is no zoom at all leaves the view as it is.
    for (double f : {0.0, -2.0, std::numeric_limits<double>::infinity(), std::nan("")}) {
        const TFloatRect z = ZoomFloatRectAbout(view, {724512, 6175498}, f);
        EXPECT_EQ(z, view) << f;
    }
}

TEST(Navigation, WheelStepPerNotch) {
    EXPECT_DOUBLE_EQ(WheelZoomFactor(120, 25), 1.25);
    EXPECT_DOUBLE_EQ(WheelZoomFactor(-120, 25), 1 / 1.25);
    EXPECT_DOUBLE_EQ(WheelZoomFactor(240, 25), 1.25 * 1.25);
    // A high-resolution wheel's half notch is half the step, so two make one.
    EXPECT_DOUBLE_EQ(WheelZoomFactor(60, 25) * WheelZoomFactor(60, 25), 1.25);
    EXPECT_DOUBLE_EQ(WheelZoomFactor(0, 25), 1.0);
}

TEST(Navigation, ZoomLimits) {
    const struct {
        double Width, Factor, Min, Max, Expected;
    } cases[] = {
        {1000, 2, 10, 1e8, 2},      // within the bounds
        {1000, 0.5, 10, 1e8, 0.5},  //
        {15, 2, 10, 1e8, 1.5},      // closer only as far as the narrowest view
        {10, 2, 10, 1e8, 1},        // already there
        {5, 2, 10, 1e8, 1},         // beyond it: no closer, but ...
        {5, 0.5, 10, 1e8, 0.5},     // ... farther is allowed
        {8e7, 0.5, 10, 1e8, 0.8},   // farther only as far as the widest view
        {2e8, 0.5, 10, 1e8, 1},     // beyond it: no farther
        {2e8, 2, 10, 1e8, 2},       // but closer
        {1e-300, 1e10, 0, 0, 1e10}, // no bounds
        {0, 2, 10, 1e8, 1},         // no view
        {1000, 0, 10, 1e8, 1},      // no factor
        {1e308, 1e10, 0, 0, 1e10},  // closer from a huge view is fine ...
        {1e300, 1e-10, 0, 0, 1},    // ... but a view that would not be finite is not
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(LimitZoomFactor(c.Width, c.Factor, c.Min, c.Max), c.Expected)
            << c.Width << " x " << c.Factor;
}

TEST(Navigation, PanShiftMovesWhatWasGrabbed) {
    // 1000 x 500 world units on 200 x 100 pixels: 5 units per pixel.
    const TFloatRect view{0, 500, 1000, 0};
    const TFloatPoint right = PanShift(view, {50, 50}, {70, 50}, 200, 100);
    EXPECT_DOUBLE_EQ(right.X, -100); // dragged east: the view moves west
    EXPECT_DOUBLE_EQ(right.Y, 0);
    const TFloatPoint down = PanShift(view, {50, 50}, {50, 60}, 200, 100);
    EXPECT_DOUBLE_EQ(down.X, 0);
    EXPECT_DOUBLE_EQ(down.Y, 50); // dragged south: the view moves north
    // The world point grabbed at From lies under To in the shifted view.
    const TFloatRect moved = OffsetFloatRect(view, PanShift(view, {10, 20}, {130, 85}, 200, 100));
    const TWDTransform before(view, {0, 0, 200, 100}), after(moved, {0, 0, 200, 100});
    EXPECT_EQ(after.WorldtoDeviceX(before.DevicetoWorldX(10)), 130);
    EXPECT_EQ(after.WorldtoDeviceY(before.DevicetoWorldY(20)), 85);
    // No device, no shift.
    const TFloatPoint none = PanShift(view, {0, 0}, {10, 10}, 0, 100);
    EXPECT_EQ(none.X, 0);
    EXPECT_EQ(none.Y, 0);
}

} // namespace
