#pragma once
// Value types and default constants shared by the GIS writers.

#include <cstdint>
#include <string>
#include <vector>

namespace pwnet {

enum TObjectTypes : uint8_t { otPline = 0, otRegion = 1, otPoint = 2, otNone = 3 };

using TIntegerArray = std::vector<int32_t>;
using TDoubleArray = std::vector<double>;

struct TFloatPoint {
    double x = 0;
    double y = 0;
    // Exact IEEE comparison: a NaN never equals anything, not even itself.
    friend bool operator==(const TFloatPoint& a, const TFloatPoint& b) {
        return a.x == b.x && a.y == b.y;
    }
    friend bool operator!=(const TFloatPoint& a, const TFloatPoint& b) { return !(a == b); }
};

using TFloatPointArray = std::vector<TFloatPoint>;

// A section: the first Count points of Pnt are in use (Pnt may be longer).
struct TFloatPointArrayEx {
    TFloatPointArray Pnt;
    int32_t Count = 0;
};

using TFloatPointArrayExArray = std::vector<TFloatPointArrayEx>;

// Section record of the writers' AddSection1: points 0..Last are valid.
struct TFloatPointArrayEx2 {
    TFloatPointArray Pnt;
    int32_t Last = -1;
    double Z1 = 0;
    double Z2 = 0;
    uint8_t Side1 = 0;
    uint8_t Side2 = 0;
    int32_t Zi1 = 0;
    int32_t Zi2 = 0;
};

struct TFloatRect {
    double xmin = 0;
    double ymin = 0;
    double xmax = 0;
    double ymax = 0;
};

// Marks a bound not yet set: 1.0e38 held as a single, so 9.99999968e37 as a double.
inline constexpr float UnsetCoordinate = 1.0e38f;
inline constexpr double EarthRadiusKm = 6378.13;
inline constexpr int32_t DefaultEPSG = 4326;
inline const std::string DefaultCoordSys = "CoordSys Earth Projection 1, 104";
inline const std::string DefaultPRJ =
    "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137,298.257223563]],"
    "PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.017453292519943295]]";

} // namespace pwnet
