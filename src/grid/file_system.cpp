#include "file_system.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <type_traits>

namespace quadrel {

namespace {

struct TMagicName {
    uint64_t Magic;
    std::string_view Name;
};

// The numbers of <linux/magic.h> and of the file systems that keep theirs to
// themselves (ntfs3, exfat, zfs, gpfs, lustre).
constexpr TMagicName MagicNames[] = {
    {0xEF53, "ext4"},      {0x58465342, "xfs"},      {0x9123683E, "btrfs"},
    {0xF2F52010, "f2fs"},  {0x3153464A, "jfs"},      {0x52654973, "reiserfs"},
    {0x2FC12FC1, "zfs"},   {0xCA451A4E, "bcachefs"}, {0x01021994, "tmpfs"},
    {0x858458F6, "ramfs"}, {0x794C7630, "overlay"},  {0x73717368, "squashfs"},
    {0x9660, "iso9660"},   {0x15013346, "udf"},      {0x4D44, "vfat"},
    {0x2011BAB0, "exfat"}, {0x5346544E, "ntfs"},     {0x7366746E, "ntfs3"},
    {0x482B, "hfsplus"},   {0x4244, "hfs"},          {0x65735546, "fuse"},
    {0x6969, "nfs"},       {0xFF534D42, "cifs"},     {0xFE534D42, "smb3"},
    {0x517B, "smbfs"},     {0x564C, "ncpfs"},        {0x01021997, "9p"},
    {0x5346414F, "afs"},   {0x6B414653, "afs"},      {0x73757245, "coda"},
    {0x00C36400, "ceph"},  {0x0BD00BD0, "lustre"},   {0x47504653, "gpfs"},
    {0x01161970, "gfs2"},  {0x7461636F, "ocfs2"},    {0x9FA0, "proc"},
    {0x62656572, "sysfs"},
};

// Kernel file systems that reach their files over a network.
constexpr std::string_view NetworkTypes[] = {
    "nfs", "nfs4", "cifs", "smb3",   "smbfs", "smb",       "ncpfs", "ncp",      "9p",
    "afs", "coda", "ceph", "lustre", "gpfs",  "glusterfs", "davfs", "orangefs", "pvfs2",
};

// FUSE file systems (mounted as "fuse.<name>") that reach their files over a network.
constexpr std::string_view NetworkFuseTypes[] = {
    "sshfs",      "rclone",    "s3fs",      "gcsfuse", "goofys",   "curlftpfs", "smbnetfs",
    "gvfsd-fuse", "glusterfs", "ceph-fuse", "davfs2",  "blobfuse", "blobfuse2", "juicefs",
    "mfs",        "lizardfs",  "ftpfs",     "httpfs2", "webdavfs", "cephfs",
};

constexpr std::string_view FatTypes[] = {"vfat", "msdos", "fat", "umsdos"};

template <size_t N> bool Contains(const std::string_view (&Table)[N], std::string_view Name) {
    return std::find(std::begin(Table), std::end(Table), Name) != std::end(Table);
}

// The next space-separated field of Line from Pos on.
std::string_view NextField(std::string_view Line, size_t& Pos) {
    while (Pos < Line.size() && Line[Pos] == ' ')
        ++Pos;
    const size_t start = Pos;
    while (Pos < Line.size() && Line[Pos] != ' ')
        ++Pos;
    return Line.substr(start, Pos - start);
}

std::string ReadSmallFile(const char* FileName) {
    std::ifstream in(FileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

std::string_view FileSystemNameFromMagic(uint64_t Magic) {
    for (const auto& m : MagicNames)
        if (m.Magic == Magic)
            return m.Name;
    return {};
}

std::string FileSystemTypeFromMountInfo(std::string_view MountInfo, uint32_t Major,
                                        uint32_t Minor) {
    const std::string device = std::to_string(Major) + ":" + std::to_string(Minor);
    while (!MountInfo.empty()) {
        const size_t eol = MountInfo.find('\n');
        const std::string_view line = MountInfo.substr(0, eol);
        MountInfo = eol == std::string_view::npos ? std::string_view{} : MountInfo.substr(eol + 1);
        // mount ID, parent ID, major:minor, root, mount point, options, optional
        // fields ..., "-", file-system type, source, super options
        size_t pos = 0;
        NextField(line, pos);
        NextField(line, pos);
        if (NextField(line, pos) != device)
            continue;
        for (std::string_view f = NextField(line, pos); !f.empty(); f = NextField(line, pos))
            if (f == "-")
                return std::string(NextField(line, pos));
    }
    return {};
}

bool IsNetworkFileSystem(std::string_view Name) {
    constexpr std::string_view fuse = "fuse.";
    if (Name.starts_with(fuse))
        return Contains(NetworkFuseTypes, Name.substr(fuse.size()));
    return Contains(NetworkTypes, Name);
}

bool CanHoldLargeFiles(std::string_view Name) {
    return !Name.empty() && !Contains(FatTypes, Name);
}

TDriveType DriveTypeFromName(std::string_view Name) {
    if (Name.empty())
        return dtNoRootDir;
    return IsNetworkFileSystem(Name) ? dtRemote : dtFixed;
}

std::string FileSystemName(const std::string& Path) {
    struct statfs fs {};
    struct stat st {};
    if (Path.empty() || ::statfs(Path.c_str(), &fs) != 0 || ::stat(Path.c_str(), &st) != 0)
        return {};
    std::string name = FileSystemTypeFromMountInfo(ReadSmallFile("/proc/self/mountinfo"),
                                                   major(st.st_dev), minor(st.st_dev));
    if (!name.empty())
        return name;
    // A btrfs subvolume or a folder outside this process's mount table: its device
    // number is not listed, so go by the magic number.
    const auto magic =
        static_cast<uint64_t>(static_cast<std::make_unsigned_t<decltype(fs.f_type)>>(fs.f_type));
    if (auto known = FileSystemNameFromMagic(magic); !known.empty())
        return std::string(known);
    char hex[24];
    std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(magic));
    return hex;
}

TDriveType DriveType(const std::string& Path) {
    return DriveTypeFromName(FileSystemName(Path));
}

int64_t DiskFree(const std::string& Path) {
    struct statvfs vfs {};
    if (Path.empty() || ::statvfs(Path.c_str(), &vfs) != 0)
        return -1;
    const uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    const uint64_t blocks = vfs.f_bavail;
    constexpr uint64_t limit = std::numeric_limits<int64_t>::max();
    if (unit != 0 && blocks > limit / unit)
        return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(blocks * unit);
}

const TFileSystemQueries& LocalFileSystem() {
    static const TFileSystemQueries queries;
    return queries;
}

} // namespace quadrel
