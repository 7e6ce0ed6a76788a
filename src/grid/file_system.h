#pragma once
// What the generation run asks of the file system that will hold the grid: is it
// local (writing millions of cells over a network is slow), what type is it, can
// it hold files larger than 2 GB, and how much space is free.
//
// The questions come in two layers: pure functions from the kernel's answers
// (statfs magic numbers, /proc/self/mountinfo text, type names) to names and
// verdicts, and the calls that ask the kernel about a real folder.

#include <cstdint>
#include <string>
#include <string_view>

namespace quadrel {

// The drive types of the run's locality test; the integers are those of the
// original platform, where 3 stands for a local fixed disk.
enum TDriveType : int32_t {
    dtNoRootDir = 1, // the folder cannot be asked about (missing, no access)
    dtFixed = 3,     // a local file system (disk, SSD, USB stick, tmpfs, ...)
    dtRemote = 4,    // a network file system
};

// --- Pure mapping -----------------------------------------------------------------

// The type name for a statfs f_type magic number ("ext4", "xfs", "vfat", "nfs",
// "fuse", ...), or an empty text for a number not in the table. ext2, ext3 and ext4
// share one number and are all named "ext4"; vfat and msdos share "vfat".
std::string_view FileSystemNameFromMagic(uint64_t Magic);

// The type of the mount whose device is Major:Minor in the text of
// /proc/<pid>/mountinfo ("ext4", "tmpfs", "fuse.sshfs", ...), or an empty text
// when no line has that device.
std::string FileSystemTypeFromMountInfo(std::string_view MountInfo, uint32_t Major, uint32_t Minor);

// Whether a file-system type reaches its files over a network: NFS, CIFS/SMB, 9P,
// AFS, Coda, Ceph, Lustre, GPFS, GlusterFS and FUSE network mounts such as
// "fuse.sshfs" or "fuse.rclone". Plain "fuse" and "fuseblk" count as local, since
// nothing tells what lies behind them.
bool IsNetworkFileSystem(std::string_view Name);

// Whether a file-system type can hold files larger than 2 GB: every type but the
// FAT family ("vfat", "msdos", "fat", "umsdos") and the unknown (empty) type.
bool CanHoldLargeFiles(std::string_view Name);

// dtRemote for a network type, dtNoRootDir for the empty (unknown) type, dtFixed
// for every other.
TDriveType DriveTypeFromName(std::string_view Name);

// --- Questions about a real folder ------------------------------------------------

// The type of the file system that holds Path, as the mount table names it (so
// "ext4" rather than the shared magic number of ext2/3/4, and the FUSE subtype such
// as "fuse.sshfs"), else as its statfs magic number names it; a number not in the
// table gives its hexadecimal form ("0x1234abcd"). Empty when Path cannot be asked.
std::string FileSystemName(const std::string& Path);

// The drive type of the folder Path (see TDriveType).
TDriveType DriveType(const std::string& Path);

// Bytes available to this user on the file system of Path (statvfs f_bavail times
// f_frsize), or -1 when it cannot be asked.
int64_t DiskFree(const std::string& Path);

// --- The questions as one object ----------------------------------------------------

// The three questions the generation run asks about its output folder, bundled so
// that a run can be pointed at another answerer (tests check the run's refusals
// without real network mounts, FAT volumes or full disks). The default answers are
// those of the real folder: the functions above.
class TFileSystemQueries {
public:
    virtual ~TFileSystemQueries() = default;
    virtual TDriveType DriveType(const std::string& Path) const { return quadrel::DriveType(Path); }
    virtual std::string FileSystemName(const std::string& Path) const {
        return quadrel::FileSystemName(Path);
    }
    virtual int64_t DiskFree(const std::string& Path) const { return quadrel::DiskFree(Path); }
};

// The answers of the real file system.
const TFileSystemQueries& LocalFileSystem();

} // namespace quadrel
