#pragma once
// What a run of a grid state would do, without running it: the format really
// written, the size estimates and the checks that refuse a run, in the order the
// run makes them. The run itself (generation_run.cpp) makes its checks through the
// same functions, so the window's size read-out, quadrel-cli's --dry-run and the
// run never disagree.

#include "file_system.h"
#include "generation_run.h"
#include "grid_state.h"
#include "run_formats.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quadrel {

// A check that refuses the run: the outcome, and the messages in the order shown.
struct TRunRefusal {
    TRunOutcome Outcome;
    std::vector<std::string> Texts;
};

// The run's size estimates of the grid State describes, written in Format: its
// cells (the extent's, those of it within the state's area, or the listed ones), as
// squares or centre points, with the text fields of codes and parents it adds.
TRunEstimates EstimateGrid(const TRunFormat& Format, const TGridState& State);

// The checks that need no folder: the format's coordinate bounds, then its own
// 2 GB limit. Nothing when the format can take the grid.
std::optional<TRunRefusal> CheckFormatLimits(const TRunFormat& Format, const TGridState& State,
                                             const TRunEstimates& Estimates);

// The checks of the output folder (with its trailing '/'): a file system that
// cannot hold files over 2 GB, then the free space.
std::optional<TRunRefusal> CheckFolder(const TRunFormat& Format, const TRunEstimates& Estimates,
                                       const TFileSystemQueries& FileSystem,
                                       const std::string& Folder);

struct TRunPreview {
    TResolvedFormat Format; // the format asked for and the one really written
    TRunEstimates Estimates;
    // The first check that would refuse the run, if any. Without a folder only the
    // checks that need none are made (FolderChecked false).
    std::optional<TRunRefusal> Refusal;
    bool FolderChecked = false;
};

// The run's view of State before the folder is chosen; with FileSystem and a
// Folder also the folder's checks (the question about a folder off the local disk
// is not asked). Raises what CheckGridReady raises for a state that cannot run.
TRunPreview PreviewRun(const TGridState& State, const TFileSystemQueries* FileSystem = nullptr,
                       const std::string& Folder = {});

// A size for the user's eye: "212 bytes", "35.1 kB", "35.1 MB", "7.7 GB", "1.2 TB".
std::string HumanSize(int64_t Bytes);

} // namespace quadrel
