#include "cell_output.h"

#include "cell_list.h"
#include "cell_naming.h"
#include "errors.h"
#include "lonlat_columns.h"
#include "lonlat_points.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace quadrel {

namespace {

using namespace pwnet;

// A list has no columns: the progress bar moves, and events get through, once per
// this many cells.
constexpr int64_t ListProgressStep = 1000;

// A corner rounded to whole metres: lround, without its call for the whole numbers
// that cell corners are. (Cell corners lie within the range of names, checked before
// the run.)
inline int32_t WholeMetres(double v) {
    const auto whole = static_cast<int64_t>(v);
    return static_cast<int32_t>(static_cast<double>(whole) == v ? whole : std::lround(v));
}

} // namespace

TCellShapes::TCellShapes(const TGridState& State, const TRunFormat& Format)
    : FSize(static_cast<double>(State.CellSize)), FShift(CoordinateShift(Format, State.GridKind)),
      FPoints(State.CentrePoints), FLonLat(Format.LonLat), FPlainRings(!FPoints && !FLonLat) {
    FRing.Pnt.resize(5);
    FRing.Count = 5;
    FRunPoints.resize(5 * static_cast<size_t>(RunLength));
    FRunText.resize(64 * static_cast<size_t>(RunLength));
    FRunEnds.resize(RunLength);
    FRunViews.resize(RunLength);
    if (!FLonLat)
        return;
    // Corners of a column are shared by its cells and the next column's, so the extent's
    // rings are transformed one node line at a time; centres and listed cells, which
    // share nothing, one point at a time.
    if (!FPoints && !State.ListedCells) {
        const TGridExtent& e = State.GridExtent;
        FColumns = std::make_unique<TLonLatColumns>(GridEpsg(State.GridKind), e.X1, e.Y1,
                                                    State.CellSize, e.CellsY);
    } else {
        FPointsInDegrees = std::make_unique<TLonLatPoints>(GridEpsg(State.GridKind));
    }
}

TCellShapes::~TCellShapes() = default;

void TCellShapes::Flush(TGISWrite& Writer) {
    if (FRunCount == 0)
        return;
    size_t begin = 0;
    for (int32_t k = 0; k < FRunCount; ++k) {
        FRunViews[k] = std::string_view(FRunText.data() + begin, FRunEnds[k] - begin);
        begin = FRunEnds[k];
    }
    const TOnePartObjects run{FRunPoints.data(), 5, FRunViews.data(), FRunCount};
    // The run is spent even when the writer refuses a cell of it.
    const auto spend = [this] {
        FRunCount = 0;
        FRunTextEnd = 0;
    };
    try {
        Writer.AddOnePartObjects(run);
    } catch (...) {
        spend();
        throw;
    }
    spend();
}

void TCellShapes::WriteRows(TGISWrite& Writer, TCellNamer& Namer, double x, int32_t Easting,
                            double Y1, int64_t Size, int32_t Begin, int32_t End) {
    if (!FPlainRings) {
        for (int32_t j = Begin; j < End; ++j) {
            const double y = Y1 + static_cast<double>(j * Size);
            WriteTransformed(Writer, x, y, j, Namer, Easting, WholeMetres(y));
        }
        return;
    }
    // The rows up to the end of the run at a time, the run's state in locals: a text
    // stored through a char pointer would otherwise reload every member.
    const double west = x + FShift.x, east = (x + FSize) + FShift.x;
    const double size = FSize, shiftY = FShift.y;
    for (int32_t j = Begin; j < End;) {
        if (FRunCount == RunLength)
            Flush(Writer);
        const int32_t stop = j + std::min(End - j, RunLength - FRunCount);
        // Room for the quick texts of all these rows, so that no row asks.
        const size_t most = static_cast<size_t>(stop - j) * TCellNamer::QuickTextRoom;
        if (FRunText.size() - FRunTextEnd < most)
            FRunText.resize(FRunTextEnd + most);
        char* text = FRunText.data();
        size_t at = FRunTextEnd;
        size_t* ends = &FRunEnds[static_cast<size_t>(FRunCount)];
        TFloatPoint* ring = &FRunPoints[5 * static_cast<size_t>(FRunCount)];
        for (const int32_t first = j; j < stop; ++j, ring += 5) {
            const double y = Y1 + static_cast<double>(j * Size);
            const int32_t northing = WholeMetres(y);
            if (const char* end = Namer.PutNextText(Easting, northing, text + at)) {
                at = static_cast<size_t>(end - text);
            } else {
                FRunTextEnd = at;
                at = AppendText(Namer, Easting, northing, static_cast<size_t>(stop - j - 1));
                text = FRunText.data();
            }
            ends[j - first] = at;
            FillRing(ring, west, east, y + shiftY, (y + size) + shiftY);
        }
        FRunCount = static_cast<int32_t>(ring - FRunPoints.data()) / 5;
        FRunTextEnd = at;
    }
}

TFloatPoint* TCellShapes::NextRing(TGISWrite& Writer, TCellNamer& Namer, int32_t Easting,
                                   int32_t Northing) {
    if (FRunCount == RunLength)
        Flush(Writer);
    FRunTextEnd = AppendText(Namer, Easting, Northing, 0);
    FRunEnds[FRunCount] = FRunTextEnd;
    return &FRunPoints[5 * static_cast<size_t>(FRunCount++)];
}

// The text of a cell that is not its column's next (TCellNamer::PutNextText), after
// the run's texts; returns their new end. Keeps room for the quick texts of the Next
// cells behind it.
size_t TCellShapes::AppendText(TCellNamer& Namer, int32_t Easting, int32_t Northing, size_t Next) {
    const std::string& text = Namer.AttributeText(Easting, Northing);
    const size_t end = FRunTextEnd + text.size();
    const size_t needed = end + (Next + 1) * TCellNamer::QuickTextRoom;
    if (needed > FRunText.size())
        FRunText.resize(std::max(2 * FRunText.size(), needed));
    std::memcpy(FRunText.data() + FRunTextEnd, text.data(), text.size());
    return end;
}

void TCellShapes::SetColumn(int32_t i) {
    if (FColumns)
        FColumns->SetColumn(i);
}

TFloatPoint TCellShapes::LonLat(double x, double y, const char* What) const {
    TFloatPoint degrees;
    if (!FPointsInDegrees->ToLonLat({x, y}, degrees))
        throw Exception(std::string("The cell ") + What + " (" + std::to_string(x) + ", " +
                        std::to_string(y) + ") has no longitude and latitude");
    return degrees;
}

void TCellShapes::WritePoint(TGISWrite& Writer, double x, double y, std::string_view Attrib) {
    const double half = FSize / 2;
    if (FLonLat) {
        Writer.AddPoint2(LonLat(x + half, y + half, "centre"), Attrib);
        return;
    }
    Writer.AddPoint((x + half) + FShift.x, (y + half) + FShift.y, Attrib);
}

void TCellShapes::WriteTransformed(TGISWrite& Writer, double x, double y, int32_t j,
                                   TCellNamer& Namer, int32_t Easting, int32_t Northing) {
    if (FPoints)
        return WritePoint(Writer, x, y, Namer.AttributeText(Easting, Northing));
    if (!FColumns)
        return WriteAt(Writer, x, y, Namer.AttributeText(Easting, Northing));
    FColumns->FillRing(FRing, j);
    std::copy_n(FRing.Pnt.begin(), 5, NextRing(Writer, Namer, Easting, Northing));
}

void TCellShapes::WriteAt(TGISWrite& Writer, double x, double y, std::string_view Attrib) {
    if (FPoints)
        return WritePoint(Writer, x, y, Attrib);
    if (!FLonLat) {
        FillRing(FRing.Pnt.data(), x, y);
    } else {
        TFloatPoint* p = FRing.Pnt.data();
        p[0] = LonLat(x, y, "corner");
        p[1] = LonLat(x, y + FSize, "corner");
        p[2] = LonLat(x + FSize, y + FSize, "corner");
        p[3] = LonLat(x + FSize, y, "corner");
        p[4] = p[0];
    }
    Writer.AddObject(1, false, Attrib);
    Writer.AddSection(0, FRing);
}

void WriteListedCells(TGISWrite& Writer, const TGridState& State, TCellShapes& Shapes,
                      TRunUserInterface& UI) {
    const std::vector<TCellOrigin>& cells = State.ListedCells->Cells;
    const auto count = static_cast<int64_t>(cells.size());
    UI.SetProgressMax(static_cast<int32_t>((count + ListProgressStep - 1) / ListProgressStep));
    TCellNamer namer(State);
    for (int64_t k = 0; k < count; ++k) {
        const TCellOrigin& c = cells[static_cast<size_t>(k)];
        Shapes.WriteAt(Writer, c.Easting, c.Northing, namer.AttributeText(c.Easting, c.Northing));
        if ((k + 1) % ListProgressStep == 0 || k + 1 == count) {
            UI.SetProgressPosition(static_cast<int32_t>((k + ListProgressStep) / ListProgressStep));
            UI.ProcessMessages();
        }
    }
}

} // namespace quadrel
