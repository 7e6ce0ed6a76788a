#include "lonlat_box.h"

#include "cli_options.h"
#include "lonlat_points.h"
#include "run_formats.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace quadrel::cli {

namespace {

// Points per edge of the box. Between two samples a transformed edge can bulge past
// the sampled extreme by about an eighth of its second difference there; the
// rectangle is widened by the largest second difference, which is well over that
// (under a metre for Denmark's box, a few metres for all of Europe).
constexpr int EdgeSegments = 1024;

struct TBounds {
    double Min = HUGE_VAL, Max = -HUGE_VAL, Bulge = 0;
    void Add(double v) {
        Min = std::min(Min, v);
        Max = std::max(Max, v);
    }
    void AddSecondDifference(double a, double b, double c) {
        Bulge = std::max(Bulge, std::abs(a - 2 * b + c));
    }
};

} // namespace

TLonLatBox ParseLonLatBox(std::string_view Text) {
    const std::vector<double> v =
        ParseNumberList(Text, 4, "--bbox-lonlat", "four numbers W,S,E,N", "degrees");
    const TLonLatBox box{v[0], v[1], v[2], v[3]};
    auto within = [](double v, double limit) { return v >= -limit && v <= limit; };
    if (!within(box.West, 180) || !within(box.East, 180) || !within(box.South, 90) ||
        !within(box.North, 90))
        throw EUsageError("--bbox-lonlat: longitudes lie within -180..180 and latitudes within "
                          "-90..90 degrees");
    if (!(box.West < box.East) || !(box.South < box.North))
        throw EUsageError("--bbox-lonlat: W must be less than E, and S less than N");
    return box;
}

void LonLatBoxCorners(TGridKind Kind, const TLonLatBox& Box, TCornerPoint& First,
                      TCornerPoint& Second) {
    const TLonLatPoints points(GridEpsg(Kind));
    const pwnet::TFloatPoint ring[] = {{Box.West, Box.South},
                                       {Box.East, Box.South},
                                       {Box.East, Box.North},
                                       {Box.West, Box.North},
                                       {Box.West, Box.South}};
    TBounds x, y;
    for (int edge = 0; edge < 4; ++edge) {
        const pwnet::TFloatPoint a = ring[edge], b = ring[edge + 1];
        pwnet::TFloatPoint before[2];
        for (int i = 0; i <= EdgeSegments; ++i) {
            const double t = static_cast<double>(i) / EdgeSegments;
            const pwnet::TFloatPoint lonLat{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
            pwnet::TFloatPoint m;
            if (!points.FromLonLat(lonLat, m))
                throw EUsageError("--bbox-lonlat: the box reaches beyond where the grid system's "
                                  "coordinates (EPSG:" +
                                  std::to_string(GridEpsg(Kind)) + ") are defined");
            x.Add(m.x);
            y.Add(m.y);
            if (i >= 2) {
                x.AddSecondDifference(before[0].x, before[1].x, m.x);
                y.AddSecondDifference(before[0].y, before[1].y, m.y);
            }
            before[0] = before[1];
            before[1] = m;
        }
    }
    First = {x.Min - x.Bulge, y.Min - y.Bulge};
    Second = {x.Max + x.Bulge, y.Max + y.Bulge};
}

} // namespace quadrel::cli
