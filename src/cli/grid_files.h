#pragma once
// The files of one grid in its folder: the names a run gives them (--name or the
// grid's own prefix plus each file's extension), and which of them a run wrote.

#include "grid_catalogue.h"
#include "run_formats.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace quadrel::cli {

// Refuses a --name that cannot be the base name of the files: one holding a folder
// separator ('/', or '\' for the Windows users the files are shared with), or one
// of more than 8 characters when ShortNames asks for 8+3 file names.
void CheckFilePrefix(std::string_view Name, bool ShortNames);

// The names of the files a run in Format writes for a grid of Kind, the main file
// first: the writer's own files, then the side files of a shapefile.
std::vector<std::string> GridFileNames(const TRunFormat& Format, TGridKind Kind,
                                       const std::string& Prefix);

struct TWrittenFile {
    std::string Name; // in the folder
    std::string Path; // folder and name, as the user gave the folder
    int64_t Bytes = 0;
};

// Folder and file name for the user's eye: one separator between them.
std::string DisplayPath(const std::string& Folder, const std::string& Name);

// Takes note of a grid's files before a run, so that afterwards it can tell which of
// them the run wrote: those that are new, or whose file, size or time changed.
// Files of the same names that the run left alone (an earlier grid's, when this run
// was refused) are not counted.
class TGridFileWatch {
public:
    TGridFileWatch(std::string Folder, std::vector<std::string> Names);
    std::vector<TWrittenFile> Written() const;

private:
    struct TStamp {
        bool Exists = false;
        dev_t Device = 0;
        ino_t Inode = 0;
        off_t Size = 0;
        timespec Modified{};
    };
    TStamp Stamp(const std::string& Name) const;

    std::string FFolder;
    std::vector<std::string> FNames;
    std::vector<TStamp> FBefore;
};

} // namespace quadrel::cli
