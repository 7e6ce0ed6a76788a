#pragma once
// The run's progress as plain lines that a log can hold (--progress when standard
// error is no terminal): "quadrel-cli: progress 42% (1260 of 3000 columns)", the
// first at the start, then at most one a second, and the last when every column
// is written.

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>

namespace quadrel::cli {

class TProgressLines {
public:
    using TClock = std::function<std::chrono::steady_clock::time_point()>;

    explicit TProgressLines(std::ostream& Err, TClock Clock = &std::chrono::steady_clock::now);

    // A run of Max columns begins (no line for an empty grid).
    void Start(int32_t Max);
    // Position columns are written; 0 ends the run's progress (written or abandoned).
    void Update(int32_t Position);

private:
    void Print(int32_t Position, int Percent);

    std::ostream& FErr;
    TClock FClock;
    int32_t FMax = 0;
    int FPrintedPercent = -1; // -1: no run under way
    std::chrono::steady_clock::time_point FPrintedAt;
};

} // namespace quadrel::cli
