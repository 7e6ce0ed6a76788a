#include "lonlat_columns.h"

#include "errors.h"
#include "proj_library.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace quadrel {

using pwnet::Proj;

TLonLatColumns::TLonLatColumns(int32_t SourceEpsg, double X1, double Y1, int64_t CellSize,
                               int32_t Rows)
    : FTransform(SourceEpsg), FX1(X1), FY1(Y1), FCellSize(CellSize), FRows(std::max(Rows, 0)) {
    FWest.resize(static_cast<size_t>(FRows) + 1);
    FEast.resize(static_cast<size_t>(FRows) + 1);
    FX.resize(static_cast<size_t>(FRows) + 1);
    FY.resize(static_cast<size_t>(FRows) + 1);
}

void TLonLatColumns::TransformLine(int32_t i, std::vector<pwnet::TFloatPoint>& Line) {
    // The same sums as the run's: x = X1 + i * size, y = Y1 + j * size.
    const double x = FX1 + static_cast<double>(int64_t{i} * FCellSize);
    const size_t n = FX.size();
    for (size_t j = 0; j < n; ++j) {
        FX[j] = x;
        FY[j] = FY1 + static_cast<double>(static_cast<int64_t>(j) * FCellSize);
    }
    Proj().errno_reset(FTransform.Get());
    Proj().trans_generic(FTransform.Get(), PJ_FWD, FX.data(), sizeof(double), n, FY.data(),
                         sizeof(double), n, nullptr, 0, 0, nullptr, 0, 0);
    for (size_t j = 0; j < n; ++j) {
        if (!std::isfinite(FX[j]) || !std::isfinite(FY[j]))
            throw Exception("The cell corner (" + std::to_string(x) + ", " +
                            std::to_string(FY1 + static_cast<double>(j) * FCellSize) +
                            ") has no longitude and latitude");
        Line[j] = {FX[j], FY[j]};
    }
}

void TLonLatColumns::SetColumn(int32_t i) {
    if (i == FColumn)
        return;
    if (i == FColumn + 1) {
        FWest.swap(FEast);
    } else {
        TransformLine(i, FWest);
    }
    TransformLine(i + 1, FEast);
    FColumn = i;
}

void TLonLatColumns::FillRing(pwnet::TFloatPointArrayEx& Ring, int32_t j) const {
    pwnet::TFloatPoint* p = Ring.Pnt.data();
    p[0] = FWest[j];
    p[1] = FWest[j + 1];
    p[2] = FEast[j + 1];
    p[3] = FEast[j];
    p[4] = p[0];
    Ring.Count = 5;
}

} // namespace quadrel
