// The file-system questions of the generation run: the pure mappings from the
// kernel's answers to names and verdicts, then the calls on real folders checked
// against findmnt and df.

#include "file_system.h"
#include "temp_dir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

using namespace quadrel;
namespace fs = std::filesystem;

namespace {

TEST(FileSystemNameFromMagic, KnownAndUnknownNumbers) {
    struct Case {
        uint64_t Magic;
        const char* Name;
    } cases[] = {
        {0xEF53, "ext4"},
        {0x58465342, "xfs"},
        {0x9123683E, "btrfs"},
        {0x01021994, "tmpfs"},
        {0x4D44, "vfat"},
        {0x2011BAB0, "exfat"},
        {0x5346544E, "ntfs"},
        {0x7366746E, "ntfs3"},
        {0x6969, "nfs"},
        {0xFF534D42, "cifs"},
        {0xFE534D42, "smb3"},
        {0x65735546, "fuse"},
        {0x01021997, "9p"},
        {0x794C7630, "overlay"},
        {0x9FA0, "proc"},
        {0x12345678, ""},
        {0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileSystemNameFromMagic(c.Magic), c.Name) << std::hex << c.Magic;
}

// Lines as the kernel writes them: optional fields ("shared:1") of any number
// stand between the options and the "-" separator.
constexpr std::string_view SampleMountInfo =
    "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
    "26 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw,discard\n"
    "30 26 0:27 / /tmp rw,nosuid shared:5 master:2 - tmpfs tmpfs rw,size=1024k\n"
    "41 26 0:45 / /home/anna/server rw,nosuid,nodev - fuse.sshfs anna@host:/srv rw,user_id=0\n"
    "42 26 0:46 / /mnt/share rw - cifs //nas/share rw,vers=3.0\n"
    "43 26 8:17 / /media/stick rw,nosuid - vfat /dev/sdb1 rw,fmask=0022\n"
    "44 26 8:33 / /media/disk\\040two rw - fuseblk /dev/sdc1 rw,user_id=0\n"
    "45 26 254:0 /srv /srv rw - ext4 /dev/vda rw\n"
    "46 26 0:50 / /mnt/nfs rw - nfs4 server:/export rw"; // last line without line end

TEST(FileSystemTypeFromMountInfo, FindsTheMountOfADevice) {
    struct Case {
        uint32_t Major, Minor;
        const char* Type;
    } cases[] = {
        {0, 20, "proc"}, {254, 0, "ext4"}, {0, 27, "tmpfs"},   {0, 45, "fuse.sshfs"},
        {0, 46, "cifs"}, {8, 17, "vfat"},  {8, 33, "fuseblk"}, {0, 50, "nfs4"},
        {0, 2, ""},      {254, 1, ""},     {25, 40, ""}, // 254:0 must not match 25:40...
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileSystemTypeFromMountInfo(SampleMountInfo, c.Major, c.Minor), c.Type)
            << c.Major << ":" << c.Minor;
    EXPECT_EQ(FileSystemTypeFromMountInfo("", 254, 0), "");
    EXPECT_EQ(FileSystemTypeFromMountInfo("garbage\n\n254:0\n", 254, 0), "");
}

TEST(FileSystemVerdicts, LocalityLargeFilesAndDriveType) {
    struct Case {
        const char* Name;
        bool Network;
        bool LargeFiles;
        TDriveType Drive;
    } cases[] = {
        {"ext4", false, true, dtFixed},        {"xfs", false, true, dtFixed},
        {"btrfs", false, true, dtFixed},       {"tmpfs", false, true, dtFixed},
        {"overlay", false, true, dtFixed},     {"exfat", false, true, dtFixed},
        {"ntfs3", false, true, dtFixed},       {"fuseblk", false, true, dtFixed},
        {"fuse", false, true, dtFixed},        {"fuse.gocryptfs", false, true, dtFixed},
        {"vfat", false, false, dtFixed},       {"msdos", false, false, dtFixed},
        {"fat", false, false, dtFixed},        {"nfs", true, true, dtRemote},
        {"nfs4", true, true, dtRemote},        {"cifs", true, true, dtRemote},
        {"smb3", true, true, dtRemote},        {"9p", true, true, dtRemote},
        {"ceph", true, true, dtRemote},        {"fuse.sshfs", true, true, dtRemote},
        {"fuse.rclone", true, true, dtRemote}, {"fuse.s3fs", true, true, dtRemote},
        {"sshfs", false, true, dtFixed}, // only ever mounted as fuse.sshfs
        {"", false, false, dtNoRootDir},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(IsNetworkFileSystem(c.Name), c.Network);
        EXPECT_EQ(CanHoldLargeFiles(c.Name), c.LargeFiles);
        EXPECT_EQ(DriveTypeFromName(c.Name), c.Drive);
    }
}

// --- Real folders -----------------------------------------------------------------

// The first line a shell command prints, or "" when it fails.
std::string CommandOutput(const std::string& Command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(Command.c_str(), "r"), pclose);
    if (!pipe)
        return {};
    char line[256] = {};
    if (!fgets(line, sizeof line, pipe.get()))
        return {};
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

TEST(FileSystemOfRealFolders, AgreesWithFindmnt) {
    if (std::system("findmnt --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no findmnt";
    testutil::TempDir dir;
    const std::string folders[] = {dir.path().string(), "/", "/proc", "/dev/shm"};
    int compared = 0;
    for (const std::string& folder : folders) {
        if (!fs::exists(folder))
            continue;
        SCOPED_TRACE(folder);
        const std::string expected =
            CommandOutput("findmnt -n -o FSTYPE --target '" + folder + "'");
        // In a chroot the mount table may not reach a folder; findmnt then has no answer.
        if (expected.empty())
            continue;
        ++compared;
        EXPECT_EQ(FileSystemName(folder), expected);
        // The run appends a separator to the folder it was given.
        EXPECT_EQ(FileSystemName(folder + "/"), expected);
        EXPECT_EQ(DriveType(folder), IsNetworkFileSystem(expected) ? dtRemote : dtFixed);
    }
    if (compared == 0)
        GTEST_SKIP() << "findmnt could not place any of the folders";
}

TEST(FileSystemOfRealFolders, FolderThatCannotBeAsked) {
    testutil::TempDir dir;
    const std::string folders[] = {dir / "missing", "", dir / "missing/deeper/"};
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        EXPECT_EQ(FileSystemName(folder), "");
        EXPECT_EQ(DriveType(folder), dtNoRootDir);
        EXPECT_EQ(DiskFree(folder), -1);
    }
}

TEST(FileSystemOfRealFolders, FreeSpaceAgreesWithDf) {
    if (std::system("df --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no df";
    testutil::TempDir dir;
    const int64_t free = DiskFree(dir.path().string());
    const std::string df =
        CommandOutput("df -B1 --output=avail '" + dir.path().string() + "' | tail -n 1");
    ASSERT_FALSE(df.empty());
    const long long expected = std::atoll(df.c_str());
    EXPECT_GT(free, 0);
    // Other programs write meanwhile; the two answers agree within 64 MB.
    EXPECT_NEAR(static_cast<double>(free), static_cast<double>(expected), 64.0 * 1024 * 1024);
}

} // namespace
