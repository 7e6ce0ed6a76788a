#include "area_coverage.h"

#include <algorithm>
#include <cmath>

namespace quadrel {

namespace {

double TwiceSignedArea(const TAreaRing& Ring, size_t Points) {
    double sum = 0;
    for (size_t k = 0; k < Points; ++k) {
        const pwnet::TFloatPoint& a = Ring[k];
        const pwnet::TFloatPoint& b = Ring[(k + 1) % Points];
        sum += (a.x - Ring[0].x) * (b.y - Ring[0].y) - (b.x - Ring[0].x) * (a.y - Ring[0].y);
    }
    return sum;
}

} // namespace

double TAreaColumns::TEdge::YAt(double x) const {
    if (x == X0)
        return Y0;
    if (x == X1)
        return Y1;
    // The product first: a northing that is a whole number of metres on an edge
    // between whole-metre points comes out exact.
    return Y0 + ((x - X0) * (Y1 - Y0)) / (X1 - X0);
}

TAreaColumns::TAreaColumns(std::span<const TAreaRing> Rings, double X1, double Y1, int64_t CellSize,
                           int32_t Rows)
    : FX1(X1), FY1(Y1), FCellSize(CellSize), FRowCount(std::max(Rows, 0)) {
    for (const TAreaRing& ring : Rings) {
        size_t n = ring.size();
        if (n > 1 && ring.front() == ring.back())
            --n; // a closing point repeats the first
        if (n < 3 || TwiceSignedArea(ring, n) == 0)
            continue; // a ring without interior: its edges have none beside them
        for (size_t k = 0; k < n; ++k) {
            const pwnet::TFloatPoint& a = ring[k];
            const pwnet::TFloatPoint& b = ring[(k + 1) % n];
            if (a == b)
                continue;
            FEdges.push_back({a.x, a.y, b.x, b.y, std::min(a.x, b.x), std::max(a.x, b.x)});
        }
    }
    std::sort(FEdges.begin(), FEdges.end(),
              [](const TEdge& a, const TEdge& b) { return a.XMin < b.XMin; });
}

const std::vector<TRowRange>& TAreaColumns::Rows(int32_t Column) {
    if (Column < FColumn) { // back west: sweep again from the start
        FNext = 0;
        FActive.clear();
    }
    FColumn = Column;
    const double size = static_cast<double>(FCellSize);
    const double west = FX1 + static_cast<double>(Column * FCellSize);
    const double east = west + size;
    Advance(west, east);

    FRanges.clear();
    FCrossings.clear();
    const double middle = west + size / 2;
    for (uint32_t index : FActive) {
        const TEdge& e = FEdges[index];
        if (e.XMin == e.XMax) {
            AddNorthings(std::min(e.Y0, e.Y1), std::max(e.Y0, e.Y1));
        } else {
            const double a = e.YAt(std::max(e.XMin, west)), b = e.YAt(std::min(e.XMax, east));
            AddNorthings(std::min(a, b), std::max(a, b));
        }
        // Half-open: an edge ending on the middle line is counted on one side only.
        if ((e.X0 <= middle) != (e.X1 <= middle))
            FCrossings.push_back({e.YAt(middle), e.X1 > e.X0 ? 1 : -1});
    }
    AddInsideRuns();
    Merge();
    return FRanges;
}

void TAreaColumns::Advance(double West, double East) {
    // An edge reaches into the open strip West < x < East when it starts west of
    // its eastern line and ends east of its western one (a vertical edge on a
    // column line lies in neither strip).
    std::erase_if(FActive, [&](uint32_t i) { return FEdges[i].XMax <= West; });
    for (; FNext < FEdges.size() && FEdges[FNext].XMin < East; ++FNext)
        if (FEdges[FNext].XMax > West)
            FActive.push_back(static_cast<uint32_t>(FNext));
}

void TAreaColumns::AddNorthings(double Low, double High) {
    const double size = static_cast<double>(FCellSize);
    auto bottom = [&](int64_t j) { return FY1 + static_cast<double>(j * FCellSize); };
    const int64_t rows = FRowCount;
    if (!(High > FY1) || !(Low < bottom(rows)))
        return;
    auto estimate = [&](double y) {
        return static_cast<int64_t>(std::clamp((y - FY1) / size, -1.0, rows + 1.0));
    };
    // The first row whose top lies north of Low, the first whose bottom is not south
    // of High; the division only guesses, the comparisons decide.
    int64_t first = std::clamp<int64_t>(estimate(Low), 0, rows);
    while (first > 0 && bottom(first) > Low)
        --first;
    while (first < rows && bottom(first + 1) <= Low)
        ++first;
    int64_t end = std::clamp<int64_t>(estimate(High) + 1, 0, rows);
    while (end > 0 && bottom(end - 1) >= High)
        --end;
    while (end < rows && bottom(end) < High)
        ++end;
    if (first < end)
        FRanges.push_back({static_cast<int32_t>(first), static_cast<int32_t>(end)});
}

void TAreaColumns::AddInsideRuns() {
    std::sort(FCrossings.begin(), FCrossings.end(),
              [](const TCrossing& a, const TCrossing& b) { return a.Y < b.Y; });
    int32_t winding = 0;
    double start = 0;
    for (const TCrossing& c : FCrossings) {
        const int32_t before = winding;
        winding += c.Winding;
        if (before == 0 && winding != 0)
            start = c.Y;
        else if (before != 0 && winding == 0)
            AddNorthings(start, c.Y);
    }
}

void TAreaColumns::Merge() {
    if (FRanges.size() < 2)
        return;
    std::sort(FRanges.begin(), FRanges.end(),
              [](const TRowRange& a, const TRowRange& b) { return a.Begin < b.Begin; });
    size_t out = 0;
    for (size_t k = 1; k < FRanges.size(); ++k) {
        if (FRanges[k].Begin <= FRanges[out].End)
            FRanges[out].End = std::max(FRanges[out].End, FRanges[k].End);
        else
            FRanges[++out] = FRanges[k];
    }
    FRanges.resize(out + 1);
}

} // namespace quadrel
