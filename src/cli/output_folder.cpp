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
    FPath = Path;
    FCreated.clear();
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
    const bool failed = !fs::create_directories(Path, ec) && ec;
    // Also after a failure: the parents made before it are taken away again.
    std::error_code exists;
    for (const fs::path& p : missing)
        if (fs::is_directory(p, exists))
            FCreated.push_back(p);
    if (failed)
        throw EInOutError("Cannot create folder " + Path + ": " + ec.message());
    return true;
}

std::string TOutputFolder::RemoveIfEmpty() noexcept {
    size_t removed = 0;
    // rmdir takes away only an empty folder, never a file or a link.
    while (removed < FCreated.size() && rmdir(FCreated[removed].c_str()) == 0)
        ++removed;
    if (removed == 0)
        return {};
    const bool itself = FCreated.front() == WithoutTrailingSeparator(FPath);
    const std::string outermost = FCreated[removed - 1].string();
    FCreated.erase(FCreated.begin(), FCreated.begin() + static_cast<std::ptrdiff_t>(removed));
    return itself ? FPath : outermost;
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
