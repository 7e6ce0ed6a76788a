#include "typed_area.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>

namespace quadrel {

namespace {

// Points traced along each edge of a box, so that the rectangle around its image
// holds the curved edges too (a parallel bends in both projections).
constexpr int EdgeSteps = 32;

struct TBox {
    double MinX, MinY, MaxX, MaxY;
};

// The box around the images of Box's edges under Map; false when a point has none.
bool TraceBox(const TBox& Box, const std::function<bool(double, double, double&, double&)>& Map,
              TBox& Out) {
    Out = {INFINITY, INFINITY, -INFINITY, -INFINITY};
    for (int i = 0; i <= EdgeSteps; ++i) {
        const double t = static_cast<double>(i) / EdgeSteps;
        const double x = Box.MinX + t * (Box.MaxX - Box.MinX);
        const double y = Box.MinY + t * (Box.MaxY - Box.MinY);
        for (auto [px, py] :
             {std::pair{x, Box.MinY}, {x, Box.MaxY}, {Box.MinX, y}, {Box.MaxX, y}}) {
            double mx, my;
            if (!Map(px, py, mx, my))
                return false;
            Out = {std::min(Out.MinX, mx), std::min(Out.MinY, my), std::max(Out.MaxX, mx),
                   std::max(Out.MaxY, my)};
        }
    }
    return true;
}

std::string Fixed(double Value, int Decimals) {
    char text[64];
    const auto r =
        std::to_chars(text, text + sizeof text, Value, std::chars_format::fixed, Decimals);
    std::string s(text, r.ptr);
    if (s.find('.') != std::string::npos) {
        s.erase(s.find_last_not_of('0') + 1);
        if (s.back() == '.')
            s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

std::string Field(TAreaUnits Units, size_t i) {
    return std::string(AreaFieldNames(Units)[i]);
}

} // namespace

std::array<std::string_view, 4> AreaFieldNames(TAreaUnits Units) {
    if (Units == TAreaUnits::Degrees)
        return {"West", "South", "East", "North"};
    return {"X1", "Y1", "X2", "Y2"};
}

std::optional<double> ParseTypedNumber(std::string_view Text) {
    const auto first = Text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::nullopt;
    std::string s(Text.substr(first, Text.find_last_not_of(" \t") - first + 1));
    if (std::count(s.begin(), s.end(), ',') + std::count(s.begin(), s.end(), '.') > 1)
        return std::nullopt;
    std::replace(s.begin(), s.end(), ',', '.');
    const char* begin = s.data();
    const char* end = begin + s.size();
    if (begin != end && *begin == '+')
        ++begin;
    double v = 0;
    const auto r = std::from_chars(begin, end, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != end || !std::isfinite(v))
        return std::nullopt;
    return v;
}

TTypedArea AreaFromTexts(const TAreaTexts& Texts, TAreaUnits Units, const TGridState& State,
                         const TLonLatPoints* Projection) {
    TTypedArea area;
    std::array<double, 4> v{};
    for (size_t i = 0; i < v.size(); ++i) {
        const std::optional<double> n = ParseTypedNumber(Texts[i]);
        if (!n) {
            area.Error = Field(Units, i) + ": \"" + Texts[i] + "\" is not a number";
            return area;
        }
        v[i] = *n;
    }
    if (Units == TAreaUnits::Degrees) {
        for (size_t i = 0; i < v.size(); ++i)
            if (std::abs(v[i]) > (i % 2 == 0 ? 180.0 : 90.0)) {
                area.Error = Field(Units, i) + ": " + Texts[i] + " lies beyond " +
                             (i % 2 == 0 ? "+-180" : "+-90") + " degrees";
                return area;
            }
        if (!(v[0] < v[2]) || !(v[1] < v[3])) {
            area.Error = "West must lie west of East, and South south of North";
            return area;
        }
        TBox metres;
        const bool traced = Projection && TraceBox(
                                              {v[0], v[1], v[2], v[3]},
                                              [&](double lon, double lat, double& x, double& y) {
                                                  pwnet::TFloatPoint m;
                                                  if (!Projection->FromLonLat({lon, lat}, m))
                                                      return false;
                                                  x = m.x;
                                                  y = m.y;
                                                  return true;
                                              },
                                              metres);
        if (!traced) {
            area.Error = "The box cannot be placed in the grid system's metres";
            return area;
        }
        area.First = {metres.MinX, metres.MinY};
        area.Second = {metres.MaxX, metres.MaxY};
    } else {
        area.First = {v[0], v[1]};
        area.Second = {v[2], v[3]};
        if (v[0] == v[2] || v[1] == v[3]) {
            area.Error = "The two corners must differ in X and in Y";
            return area;
        }
    }
    for (const auto& [name, x] : {std::pair{"X1", area.First.X}, {"X2", area.Second.X}})
        if (x == 0.0) {
            area.Error = std::string(name) + ": an easting of exactly 0 cannot be used (it marks "
                                             "a corner that is not set)";
            return area;
        }
    if (State.CellSize > 0) {
        try {
            (void)SnapExtent(area.First, area.Second, State.CellSize);
        } catch (const std::exception& e) {
            area.Error = e.what();
        }
    }
    return area;
}

TAreaTexts TextsFromCorners(const TGridState& State, TAreaUnits Units,
                            const TLonLatPoints* Projection) {
    if (!State.CornersSet())
        return {};
    const TCornerPoint& a = State.FirstCorner;
    const TCornerPoint& b = State.SecondCorner;
    if (Units == TAreaUnits::Metres)
        return {Fixed(a.X, 2), Fixed(a.Y, 2), Fixed(b.X, 2), Fixed(b.Y, 2)};
    TBox degrees;
    const bool traced = Projection && TraceBox(
                                          {std::min(a.X, b.X), std::min(a.Y, b.Y),
                                           std::max(a.X, b.X), std::max(a.Y, b.Y)},
                                          [&](double x, double y, double& lon, double& lat) {
                                              pwnet::TFloatPoint d;
                                              if (!Projection->ToLonLat({x, y}, d))
                                                  return false;
                                              lon = d.x;
                                              lat = d.y;
                                              return true;
                                          },
                                          degrees);
    if (!traced)
        return {};
    return {Fixed(degrees.MinX, 5), Fixed(degrees.MinY, 5), Fixed(degrees.MaxX, 5),
            Fixed(degrees.MaxY, 5)};
}

} // namespace quadrel
