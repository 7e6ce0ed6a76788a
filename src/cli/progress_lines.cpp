#include "progress_lines.h"

#include <algorithm>

namespace quadrel::cli {

TProgressLines::TProgressLines(std::ostream& Err, TClock Clock)
    : FErr(Err), FClock(std::move(Clock)) {}

void TProgressLines::Start(int32_t Max) {
    FMax = Max;
    FPrintedPercent = -1;
    if (Max > 0)
        Print(0, 0);
}

void TProgressLines::Update(int32_t Position) {
    if (FMax <= 0 || FPrintedPercent < 0)
        return;
    if (Position == 0) { // the run is over: the next one starts afresh
        FPrintedPercent = -1;
        return;
    }
    const int64_t pos = std::clamp<int64_t>(Position, 0, FMax);
    const int percent = static_cast<int>(pos * 100 / FMax);
    if (percent == FPrintedPercent)
        return;
    // The last column always gets its line, so a log shows that the run got there.
    if (pos < FMax && FClock() - FPrintedAt < std::chrono::seconds(1))
        return;
    Print(static_cast<int32_t>(pos), percent);
}

void TProgressLines::Print(int32_t Position, int Percent) {
    FPrintedPercent = Percent;
    FPrintedAt = FClock();
    FErr << "quadrel-cli: progress " << Percent << "% (" << Position << " of " << FMax
         << (FMax == 1 ? " column)" : " columns)") << "\n"
         << std::flush;
}

} // namespace quadrel::cli
