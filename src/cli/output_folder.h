#pragma once
// quadrel-cli's output folder: made with its missing parents when the run needs
// it, and taken away again when the run ends without having written anything into
// it, so that a refused run leaves the disk as it found it.

#include <filesystem>
#include <string>
#include <vector>

namespace quadrel::cli {

class TOutputFolder {
public:
    // Creates Path with its missing parents; true when it had to be created. Raises
    // EInOutError when that fails (the parents made so far are still removable) or
    // Path is no folder.
    bool Prepare(const std::string& Path);
    // Removes the folders Prepare created, deepest first, for as long as each is
    // empty. Returns the folder to name for it: Path as given when it went, else the
    // outermost parent that went (after a failed Prepare); empty when none went.
    std::string RemoveIfEmpty() noexcept;

private:
    std::string FPath;
    std::vector<std::filesystem::path> FCreated; // deepest first
};

// What a dry run can tell of an output folder without making it.
struct TFolderProbe {
    // The folder whose file system would hold the output: Path itself, or the
    // nearest of its parents that exists when Path is still to be made.
    std::string Existing;
    // Why the run could not write there ("Cannot write into ..."); empty when it can.
    std::string Problem;
};
TFolderProbe ProbeOutputFolder(const std::string& Path);

} // namespace quadrel::cli
