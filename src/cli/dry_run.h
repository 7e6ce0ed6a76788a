#pragma once
// quadrel-cli --dry-run: what the run would write and whether it would go ahead,
// without writing anything (not even the folder).

#include "cli_options.h"
#include "cli_report.h"
#include "file_system.h"
#include "grid_state.h"

#include <ostream>

namespace quadrel::cli {

struct TDryRunSettings {
    bool StderrIsTerminal = false;
    const TFileSystemQueries* FileSystem = &LocalFileSystem();
};

// Prints the format, the files, the cells and the size estimate (after the extent,
// which the caller has printed), then makes the run's checks: the format's own
// limits always; with --output also those of the folder, as the run would find it:
// the question about a folder off the local disk (answered as --yes says), its
// file system, its free space. Returns the exit status the real run would get from
// them (0: it would go ahead).
int DryRun(const TCliOptions& Options, const TGridState& State, TCliReporter& Reporter,
           std::ostream& Err, const TDryRunSettings& Settings);

} // namespace quadrel::cli
