#pragma once
// quadrel-cli's area of interest: --within FILE [--within-layer NAME], the built-in
// --area "Denmark land", and --buffer METRES around either.

#include "cli_options.h"

#include <string>
#include <string_view>
#include <vector>

namespace quadrel::cli {

// --buffer's value: a finite number of metres. Raises EUsageError otherwise.
double ParseBuffer(std::string_view Text);

// Whether --area names a built-in area ("Denmark land") rather than a preset.
bool IsBuiltInArea(const TCliOptions& Options);

// Raises EUsageError for area options that do not go together: --within-layer
// without --within, --buffer without an area to grow, --within with a built-in
// --area, any of them with --cell-at or --from-ids (whose cells are not cut).
void CheckAreaOptions(const TCliOptions& Options);

// Reads the area the options name, for State's grid system, and cuts State's grid
// to it: its extent is the area's bounds, or, when CornersGiven (a preset or
// --corners was applied), the extent already set. Returns what the reader noticed.
// Nothing without area options. Raises EUsageError when the area cannot be read.
std::vector<std::string> ApplyAreaOptions(const TCliOptions& Options, TGridState& State,
                                          bool CornersGiven);

} // namespace quadrel::cli
