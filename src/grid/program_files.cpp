#include "program_files.h"

#include <filesystem>
#include <system_error>

#ifndef QUADREL_INSTALL_LIBDIR
#define QUADREL_INSTALL_LIBDIR "lib"
#endif

namespace quadrel {

namespace fs = std::filesystem;

std::string ProgramFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return {};
    std::string folder = exe.parent_path().string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

std::string ProgramDataFileIn(const std::string& Folder, const std::string& Name) {
    const fs::path folder(Folder);
    const fs::path beside = folder / Name;
    const fs::path installed = (folder / ".." / "share" / "quadrel" / Name).lexically_normal();
    std::error_code ec;
    if (!fs::is_regular_file(beside, ec) && fs::is_regular_file(installed, ec))
        return installed.string();
    return beside.string();
}

std::string ProgramDataFile(const std::string& Name) {
    return ProgramDataFileIn(ProgramFolder(), Name);
}

std::vector<std::string> ProgramLibraryCandidates(const std::string& Name) {
    std::vector<std::string> candidates;
    const std::string folder = ProgramFolder();
    if (!folder.empty()) {
        const fs::path here(folder);
        candidates.push_back((here / Name).string());
        candidates.push_back((here.parent_path().parent_path() / QUADREL_INSTALL_LIBDIR / Name)
                                 .lexically_normal()
                                 .string());
    }
    candidates.push_back(Name);
    return candidates;
}

} // namespace quadrel
