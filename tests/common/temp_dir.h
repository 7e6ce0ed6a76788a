#pragma once
// A fresh temporary folder per test, removed with everything in it afterwards.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <string>
#include <system_error>
#include <unistd.h>

namespace testutil {

class TempDir {
public:
    TempDir() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "quadrel-test-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        // A test may have taken the write permission away; give it back first.
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        for (auto& e : std::filesystem::recursive_directory_iterator(path_, ec))
            if (e.is_directory(ec))
                std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Path of a file inside the folder, as a string.
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The whole file as bytes.
inline std::string ReadFileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The names of the entries of a folder.
inline std::set<std::string> FilesIn(const std::filesystem::path& Folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(Folder))
        names.insert(e.path().filename().string());
    return names;
}

// A folder that exists but where nobody may create files. Permission bits do not
// stop root (CI runs as root), so root gets sysfs, which refuses new files to everyone.
inline std::string UnwritableFolder(const TempDir& dir) {
    if (geteuid() == 0)
        return "/sys";
    auto locked = dir.path() / "locked";
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::owner_exec);
    return locked.string();
}

} // namespace testutil
