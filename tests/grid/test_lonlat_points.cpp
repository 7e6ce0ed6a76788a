#include "errors.h"
#include "lonlat_points.h"

#include <gtest/gtest.h>
#include <limits>

namespace quadrel {
namespace {

using pwnet::TFloatPoint;

// Copenhagen city hall lies at about (724352, 6175804) in UTM zone 32N; a point
// goes there and back within a millimetre in both grid systems.
TEST(LonLatPoints, PlacesCopenhagenAndGoesBackAndForth) {
    const TLonLatPoints utm(25832);
    TFloatPoint m;
    ASSERT_TRUE(utm.FromLonLat({12.5683, 55.6761}, m));
    EXPECT_NEAR(m.x, 724352, 50);
    EXPECT_NEAR(m.y, 6175804, 50);
    for (int32_t epsg : {25832, 3035}) {
        SCOPED_TRACE(epsg);
        const TLonLatPoints t(epsg);
        TFloatPoint there, back;
        ASSERT_TRUE(t.FromLonLat({12.5683, 55.6761}, there));
        ASSERT_TRUE(t.ToLonLat(there, back));
        EXPECT_NEAR(back.x, 12.5683, 1e-8);
        EXPECT_NEAR(back.y, 55.6761, 1e-8);
    }
    TFloatPoint out;
    EXPECT_FALSE(utm.ToLonLat({std::numeric_limits<double>::quiet_NaN(), 0}, out));
    EXPECT_THROW(TLonLatPoints(1), Exception);
}

} // namespace
} // namespace quadrel
