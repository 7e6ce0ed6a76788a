#pragma once
// The cells of a grid that an area covers, decided two ways: by the grid core's
// scan-line (TAreaColumns) and by GEOS, cell by cell, as Intersects and not Touches
// (the cell's square and the area share interior). For the tests of areas.

#include "area_coverage.h"

#include <algorithm>
#include <geos_c.h>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace testutil {

using quadrel::TAreaRing;

// One polygon: its outer ring, then its holes; orientation does not matter here.
using Polygon = std::vector<TAreaRing>;

// Columns x Rows cells of Size metres from (X1, Y1).
struct Grid {
    double X1, Y1;
    int64_t Size;
    int32_t Columns, Rows;
};

using CellSet = std::set<std::pair<int32_t, int32_t>>; // (column, row)

inline double SignedArea(const TAreaRing& R) {
    double a = 0;
    for (size_t i = 0; i < R.size(); ++i) {
        const auto& p = R[i];
        const auto& q = R[(i + 1) % R.size()];
        a += p.x * q.y - q.x * p.y;
    }
    return a / 2;
}

// The rings as the area reader hands them: outer rings counter-clockwise, holes
// clockwise.
inline std::vector<TAreaRing> OrientedRings(const std::vector<Polygon>& Polygons) {
    std::vector<TAreaRing> rings;
    for (const Polygon& p : Polygons)
        for (size_t k = 0; k < p.size(); ++k) {
            TAreaRing r = p[k];
            if ((SignedArea(r) > 0) != (k == 0))
                std::reverse(r.begin(), r.end());
            rings.push_back(std::move(r));
        }
    return rings;
}

// The scan-line's cells, checking on the way that each column's ranges are sorted,
// non-empty and apart.
inline CellSet ByScanLine(const std::vector<TAreaRing>& Rings, const Grid& G) {
    quadrel::TAreaColumns columns(Rings, G.X1, G.Y1, G.Size, G.Rows);
    CellSet cells;
    for (int32_t i = 0; i < G.Columns; ++i) {
        const std::vector<quadrel::TRowRange>& ranges = columns.Rows(i);
        for (size_t k = 0; k < ranges.size(); ++k) {
            EXPECT_LT(ranges[k].Begin, ranges[k].End);
            if (k > 0) {
                EXPECT_LT(ranges[k - 1].End, ranges[k].Begin) << "ranges neither sorted nor apart";
            }
            for (int32_t j = ranges[k].Begin; j < ranges[k].End; ++j)
                cells.insert({i, j});
        }
    }
    return cells;
}

// An area in GEOS.
class GeosArea {
public:
    // The union of the polygons (they may overlap).
    explicit GeosArea(const std::vector<Polygon>& Polygons) : FContext(GEOS_init_r()) {
        std::vector<GEOSGeometry*> parts;
        for (const Polygon& p : Polygons)
            parts.push_back(MakePolygon(p));
        GEOSGeometry* all = GEOSGeom_createCollection_r(
            FContext, GEOS_GEOMETRYCOLLECTION, parts.data(), static_cast<unsigned>(parts.size()));
        FArea = GEOSUnaryUnion_r(FContext, all);
        GEOSGeom_destroy_r(FContext, all);
    }
    // A geometry as well-known binary (from OGR).
    explicit GeosArea(const std::vector<unsigned char>& Wkb) : FContext(GEOS_init_r()) {
        FArea = GEOSGeomFromWKB_buf_r(FContext, Wkb.data(), Wkb.size());
    }
    ~GeosArea() {
        if (FArea)
            GEOSGeom_destroy_r(FContext, FArea);
        GEOS_finish_r(FContext);
    }
    GeosArea(const GeosArea&) = delete;
    GeosArea& operator=(const GeosArea&) = delete;

    bool Valid() const { return FArea && GEOSisValid_r(FContext, FArea) == 1; }

    // The cells whose square shares interior with the area. A large area (Denmark's
    // coast) is cut, for each column, to a strip half a cell wider on each side,
    // which keeps Touches fast; the cut adds nodes on the strip's sides, computed in
    // floating point, which is harmless for a coast but not for the exact corners of
    // the small cases, which are tested against the whole area.
    CellSet Covered(const Grid& G) const {
        const bool cut = GEOSGetNumCoordinates_r(FContext, FArea) > 5000;
        CellSet cells;
        const double s = static_cast<double>(G.Size);
        const double south = G.Y1 - s / 2, north = G.Y1 + static_cast<double>(G.Rows) * s + s / 2;
        for (int32_t i = 0; i < G.Columns; ++i) {
            const double x = G.X1 + static_cast<double>(i * G.Size);
            GEOSGeometry* strip = MakePolygon({{{x - s / 2, south},
                                                {x + 1.5 * s, south},
                                                {x + 1.5 * s, north},
                                                {x - s / 2, north}}});
            GEOSGeometry* piece = cut ? GEOSIntersection_r(FContext, FArea, strip)
                                      : GEOSGeom_clone_r(FContext, FArea);
            const GEOSPreparedGeometry* prepared = GEOSPrepare_r(FContext, piece);
            for (int32_t j = 0; j < G.Rows; ++j) {
                const double y = G.Y1 + static_cast<double>(j * G.Size);
                // A cell whose centre lies inside shares interior for sure; only the
                // others need GEOS's (slow) Touches.
                GEOSGeometry* centre = GEOSGeom_createPointFromXY_r(FContext, x + s / 2, y + s / 2);
                const bool inside = GEOSPreparedContainsProperly_r(FContext, prepared, centre) == 1;
                GEOSGeom_destroy_r(FContext, centre);
                GEOSGeometry* cell =
                    MakePolygon({{{x, y}, {x, y + s}, {x + s, y + s}, {x + s, y}}});
                if (inside || (GEOSPreparedIntersects_r(FContext, prepared, cell) == 1 &&
                               GEOSPreparedTouches_r(FContext, prepared, cell) == 0))
                    cells.insert({i, j});
                GEOSGeom_destroy_r(FContext, cell);
            }
            GEOSPreparedGeom_destroy_r(FContext, prepared);
            GEOSGeom_destroy_r(FContext, piece);
            GEOSGeom_destroy_r(FContext, strip);
        }
        return cells;
    }

    // The cells nearer to the area than Distance (with the cell's square: the
    // cells a buffer of Distance covers).
    CellSet Nearer(const Grid& G, double Distance) const {
        CellSet cells;
        const double s = static_cast<double>(G.Size);
        for (int32_t i = 0; i < G.Columns; ++i)
            for (int32_t j = 0; j < G.Rows; ++j) {
                const double x = G.X1 + static_cast<double>(i * G.Size);
                const double y = G.Y1 + static_cast<double>(j * G.Size);
                GEOSGeometry* cell =
                    MakePolygon({{{x, y}, {x, y + s}, {x + s, y + s}, {x + s, y}}});
                double d = 0;
                if (GEOSDistance_r(FContext, FArea, cell, &d) == 1 && d < Distance)
                    cells.insert({i, j});
                GEOSGeom_destroy_r(FContext, cell);
            }
        return cells;
    }

private:
    GEOSGeometry* MakeRing(const TAreaRing& R) const {
        auto* s = GEOSCoordSeq_create_r(FContext, static_cast<unsigned>(R.size() + 1), 2);
        for (size_t i = 0; i <= R.size(); ++i) {
            const auto& p = R[i % R.size()];
            GEOSCoordSeq_setXY_r(FContext, s, static_cast<unsigned>(i), p.x, p.y);
        }
        return GEOSGeom_createLinearRing_r(FContext, s);
    }
    GEOSGeometry* MakePolygon(const Polygon& P) const {
        std::vector<GEOSGeometry*> holes;
        for (size_t k = 1; k < P.size(); ++k)
            holes.push_back(MakeRing(P[k]));
        return GEOSGeom_createPolygon_r(FContext, MakeRing(P[0]), holes.data(),
                                        static_cast<unsigned>(holes.size()));
    }

    GEOSContextHandle_t FContext;
    GEOSGeometry* FArea = nullptr;
};

inline std::string Describe(const CellSet& Cells) {
    std::string s;
    for (auto [i, j] : Cells)
        s += "(" + std::to_string(i) + "," + std::to_string(j) + ") ";
    return s.empty() ? "none" : s;
}

// The cells of one set that the other lacks, as a readable failure.
inline void ExpectSameCells(const CellSet& Expected, const CellSet& Actual) {
    CellSet missing, extra;
    std::set_difference(Expected.begin(), Expected.end(), Actual.begin(), Actual.end(),
                        std::inserter(missing, missing.end()));
    std::set_difference(Actual.begin(), Actual.end(), Expected.begin(), Expected.end(),
                        std::inserter(extra, extra.end()));
    EXPECT_TRUE(missing.empty()) << "covered by GEOS only: " << Describe(missing);
    EXPECT_TRUE(extra.empty()) << "covered by the scan-line only: " << Describe(extra);
}

} // namespace testutil
