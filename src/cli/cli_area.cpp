#include "cli_area.h"

#include "area_cells.h"
#include "area_reader.h"
#include "run_formats.h"

#include <charconv>
#include <cmath>

namespace quadrel::cli {

double ParseBuffer(std::string_view Text) {
    std::string_view digits = Text;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
        !std::isfinite(value))
        throw EUsageError("--buffer: \"" + std::string(Text) + "\" is not a number of metres");
    return value;
}

bool IsBuiltInArea(const TCliOptions& Options) {
    return !Options.Area.empty() && FindBuiltInArea(Options.Area);
}

void CheckAreaOptions(const TCliOptions& Options) {
    const bool area = !Options.Within.empty() || !Options.WithinLayer.empty() || Options.HasBuffer;
    if (area && Options.HasCellAt)
        throw EUsageError("--cell-at prints the cells at a point and writes nothing: it takes no "
                          "--within or --buffer");
    if (area && !Options.FromIds.empty())
        throw EUsageError("--from-ids names the cells to write: leave out --within and --buffer");
    if (!Options.WithinLayer.empty() && Options.Within.empty())
        throw EUsageError("--within-layer needs --within FILE");
    if (!Options.Within.empty() && IsBuiltInArea(Options))
        throw EUsageError("give either --within FILE or --area \"" + Options.Area + "\", not both");
    if (Options.HasBuffer && Options.Within.empty() && !IsBuiltInArea(Options))
        throw EUsageError("--buffer needs an area to grow: --within FILE or --area \"Denmark "
                          "land\"");
}

std::vector<std::string> ApplyAreaOptions(const TCliOptions& Options, TGridState& State,
                                          bool CornersGiven) {
    std::vector<std::string> notices;
    std::shared_ptr<const TArea> area;
    const int32_t epsg = GridEpsg(State.GridKind);
    try {
        if (!Options.Within.empty())
            area =
                ReadAreaFile({Options.Within, Options.WithinLayer, Options.Buffer}, epsg, &notices);
        else if (const TBuiltInArea* builtIn = FindBuiltInArea(Options.Area))
            area = ReadBuiltInArea(*builtIn, epsg, Options.Buffer, &notices);
        else
            return notices;
        if (CornersGiven)
            LimitToArea(State, std::move(area));
        else
            ChooseArea(State, std::move(area));
    } catch (const EAreaError& e) {
        throw EUsageError(e.what());
    }
    return notices;
}

} // namespace quadrel::cli
