#pragma once
// The generation run ("GO !"): asks for an output folder, checks that the target
// can take the grid, writes the side files, then streams one closed square polygon
// per cell of the grid state's extent (only those within its area, when it has one:
// area_cells.h), with the cell's name, through one writer of the chosen format
// while the progress bar moves.
//
// The run talks to its user only through TRunUserInterface, asks about the output
// folder only through TFileSystemQueries, and gets its writer from a factory, so
// the window, quadrel-cli and the tests drive the same run.
//
// Outcomes: a run ends with "Done", or quietly after the user cancelled the folder
// dialog or said No, or after the messages of a check that refused it (the side
// files of a shapefile may then already be in the folder; no grid file is). An
// error is an exception with its message: the writer's files are removed first
// (nothing that looks like a finished grid stays behind), the busy cursor is
// restored and the progress bar reset, and the exception reaches the front end. A
// TAB table that MITAB could not create is such an error ("Cannot create file"); a
// failed write names the file and the system's reason ("Cannot write file ...").
//
// The grid appears whole or not at all: its files are written under temporary names
// and renamed over the final names when the writer has closed them (output_files.h),
// so an earlier grid of the same name stays complete until then. One run per grid
// and folder: the run holds the grid's lock (output_lock.h) from before the side
// files until it ends; a second run of the same grid into the same folder is refused
// at once (Busy). Holding the lock, a run first completes the renames of a run that
// was killed while making them and removes the temporaries such a run left.

#include "file_system.h"
#include "grid_state.h"
#include "pwnet_giswriter.h"
#include "run_formats.h"
#include "run_user_interface.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quadrel {

// The texts the run shows.
inline constexpr std::string_view FolderCaption = "Choose where to store the grid:";
inline constexpr std::string_view NotLocalQuestion =
    "It is MUCH faster to store on a local harddisk.\nDo you want to continue?";
inline constexpr std::string_view DoneMessage = "Done";

// The refusal of a run whose grid another run is writing into the same folder.
std::string BusyMessage(const std::string& Folder, const std::string& FilePrefix);

// How a run ended without an error.
enum class TRunOutcome {
    Done,          // the grid was written
    Cancelled,     // the folder dialog was cancelled
    Declined,      // No to the question about a folder off the local disk
    OutsideBounds, // the format cannot hold cells beyond its coordinate system's bounds
    TooLarge,      // the format cannot hold more than 2 GB
    NoLargeFiles,  // more than 2 GB on a file system that cannot hold such files
    NoSpace,       // less free space than the estimate
    Busy,          // another run is writing the grid of the same name into the folder
};

struct TRunResult {
    TRunOutcome Outcome = TRunOutcome::Cancelled;
    // Known once the writer exists (from OutsideBounds on): the format really written
    // (the MIF row when the factory fell back), the estimates, the cells.
    const TRunFormat* Format = nullptr;
    TRunEstimates Estimates;
    // The output folder with its separator and the file prefix: the path of every
    // file of the grid without its extension.
    std::string OutputBase;
};

// Raises ERangeError with the reason when the grid state cannot be run: no grid
// system, size or area chosen, an unknown format, or an area whose cell names do
// not fit their fields (corners beyond 32-bit metres, EuroGrid origins of more than
// seven digits, DKN identifiers longer than 20 characters).
void CheckGridReady(const TGridState& State);

class TGenerationRun {
public:
    using TWriterFactory = std::function<std::unique_ptr<pwnet::TGISWrite>(pwnet::TGISFormat)>;

    // FileSystem must outlive the run object.
    explicit TGenerationRun(const TFileSystemQueries& FileSystem = LocalFileSystem(),
                            TWriterFactory MakeWriter = &pwnet::TGISWrite::GetGISObject);

    // The folder of the last run, with a '/' appended (even when the chosen path
    // already ends with one); empty before the first. The next run's folder dialog
    // starts there.
    std::string OutputFolder;

    // One run over a copy of State taken at the start, so that nothing done to the
    // state while the run lets events through can mix two grids. Every call to UI
    // comes from this thread. See the file comment for outcomes and errors.
    TRunResult Execute(const TGridState& State, TRunUserInterface& UI);

private:
    const TFileSystemQueries& FFileSystem;
    TWriterFactory FMakeWriter;
};

// The desktop program's run, whose OutputFolder lives as long as the process.
TGenerationRun& GenerationRun();

} // namespace quadrel
