#include "output_folder.h"

#include "errors.h"

#include <cerrno>
#include <cstring>
#include <system_error>
#include <unistd.h>

namespace quadrel::cli {

namespace fs = std::filesystem;

namespace {

// "out/" and "out" are one folder.
fs::path WithoutTrailingSeparator(fs::path p) {
    while (!p.has_filename() && p.has_parent_path() && p.parent_path() != p)
        p = p.parent_path();
    return p;
}

} // namespace

bool TOutputFolder::Prepare(const std::string& Path) {
    std::error_code ec;
    if (fs::exists(Path, ec)) {
        if (!fs::is_directory(Path, ec))
            throw EInOutError("Cannot write into " + Path + ": it is not a folder");
        return false;
    }
    std::vector<fs::path> missing;
    for (fs::path p = WithoutTrailingSeparator(Path); !p.empty() && !fs::exists(p, ec);
         p = p.parent_path()) {
        missing.push_back(p);
        if (p.parent_path() == p)
            break;
    }
    if (!fs::create_directories(Path, ec) && ec)
        throw EInOutError("Cannot create folder " + Path + ": " + ec.message());
    FCreated = std::move(missing);
    return true;
}

bool TOutputFolder::RemoveIfEmpty() noexcept {
    size_t removed = 0;
    // rmdir takes away only an empty folder, never a file or a link.
    while (removed < FCreated.size() && rmdir(FCreated[removed].c_str()) == 0)
        ++removed;
    FCreated.erase(FCreated.begin(), FCreated.begin() + static_cast<std::ptrdiff_t>(removed));
    return removed > 0; // the deepest, the folder itself, goes first
}

TFolderProbe ProbeOutputFolder(const std::string& Path) {
    std::error_code ec;
    fs::path p = WithoutTrailingSeparator(Path);
    while (!fs::exists(p, ec)) {
        fs::path parent = p.parent_path();
        if (parent.empty())
            parent = ".";
        if (parent == p)
            break;
        p = parent;
    }
    const bool itself = p == WithoutTrailingSeparator(Path);
    if (!fs::is_directory(p, ec))
        return {p.string(), itself
                                ? "Cannot write into " + Path + ": it is not a folder"
                                : "Cannot create folder " + Path + ": " + std::strerror(ENOTDIR)};
    if (access(p.c_str(), W_OK | X_OK) != 0) {
        const std::string reason = std::strerror(errno);
        return {p.string(), itself ? "Cannot write into " + Path + ": " + reason
                                   : "Cannot create folder " + Path + ": " + reason};
    }
    return {p.string(), {}};
}

} // namespace quadrel::cli
