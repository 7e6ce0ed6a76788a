// Faults every file format must survive: folders where no file can be created, a
// full disk at Close or in the middle of a run, a second Close, and a writer that
// is destroyed or dropped without being closed.

#include "readers.h"
#include "temp_dir.h"

#include <csignal>
#include <sys/resource.h>

using namespace pwnet;
using namespace gwtest;

namespace {

struct FormatCase {
    const char* name;
    TGISFormat format;
    std::vector<std::string> dataFiles; // what Drop removes
    std::vector<std::string> sideFiles; // what stays
    bool createdByStartHeader;          // else by the last AddField
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

const FormatCase Formats[] = {
    {"shp", gfSHP, {".shp", ".shx", ".dbf"}, {".prj", ".cpg"}, true},
    {"dbf", gfDBF, {".dbf"}, {}, true},
    {"mif", gfMIF, {".mif", ".mid"}, {}, false},
    {"mif8", gfMIF8, {".mif", ".mid"}, {}, false},
};

class WriterFaults : public ::testing::TestWithParam<FormatCase> {
protected:
    std::unique_ptr<TGISWrite> NewWriter(const std::string& folder) {
        auto w = TGISWrite::GetGISObject(GetParam().format);
        w->FileName = folder + "/grid";
        return w;
    }
    static void Declare(TGISWrite& w) {
        w.StartHeader(1, otRegion);
        w.AddField("KN1kmDK", gfChar, 20, 0);
    }
    static void WriteCells(TGISWrite& w, int n) {
        for (int i = 0; i < n; ++i)
            AddCell(w, "\"1km_" + std::to_string(i) + "\"",
                    Square(440000 + i * 1000.0, 6200000, 1000));
    }
    static std::string File(const std::string& folder, const std::string& ext) {
        return folder + "/grid" + ext;
    }
    bool AnyDataFile(const std::string& folder) {
        for (const auto& ext : GetParam().dataFiles)
            if (std::filesystem::exists(std::filesystem::symlink_status(File(folder, ext))))
                return true;
        return false;
    }
};

TEST_P(WriterFaults, FolderWhereNoFileCanBeCreated) {
    testutil::TempDir dir;
    const std::string folders[] = {testutil::UnwritableFolder(dir), dir / "missing/deeper"};
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        const int fds = OpenFdCount();
        auto w = NewWriter(folder);
        const std::string first =
            File(folder, GetParam().dataFiles.back() == ".dbf" ? ".dbf" : ".mif");
        std::string message;
        try {
            w->StartHeader(1, otRegion);
            EXPECT_FALSE(GetParam().createdByStartHeader) << "StartHeader should have failed";
            w->AddField("KN1kmDK", gfChar, 20, 0);
        } catch (const EFCreateError& e) {
            message = e.what();
        }
        EXPECT_TRUE(message.starts_with("Cannot create file \"" + first + "\". ")) << message;
        EXPECT_EQ(OpenFdCount(), fds); // no handle stays open
        EXPECT_NO_THROW(w->Close());   // the output is already abandoned
        EXPECT_THROW(w->AddObject(1, false, "x"), Exception);
        EXPECT_FALSE(AnyDataFile(folder));
    }
}

// Every data file of the output written to a device that takes no byte.
TEST_P(WriterFaults, FullDiskAtCloseRaisesAndLeavesNoOutput) {
    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    for (const auto& ext : GetParam().dataFiles)
        std::filesystem::create_symlink("/dev/full", File(folder, ext));
    const int fds = OpenFdCount();
    auto w = NewWriter(folder);
    Declare(*w);
    WriteCells(*w, 10);
    try {
        w->Close();
        ADD_FAILURE() << "Close reported success on a full disk";
    } catch (const EWriteError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
    }
    EXPECT_EQ(OpenFdCount(), fds);
    EXPECT_FALSE(AnyDataFile(folder));
    EXPECT_NO_THROW(w->Close()); // a second Close does nothing
}

// The disk fills up half-way: the file-size limit stands in for a small file system.
TEST_P(WriterFaults, DiskFillingUpDuringTheRunIsReportedAndNothingLooksComplete) {
    struct LimitFileSize {
        rlimit old{};
        void (*oldHandler)(int);
        explicit LimitFileSize(rlim_t bytes) {
            oldHandler =
                std::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
            getrlimit(RLIMIT_FSIZE, &old);
            rlimit limit = old;
            limit.rlim_cur = bytes;
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        ~LimitFileSize() {
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        }
    };
    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    auto w = NewWriter(folder);
    std::string during, atClose;
    {
        LimitFileSize limit(1536 * 1024);
        Declare(*w);
        try {
            WriteCells(*w, 200000);
        } catch (const EWriteError& e) {
            during = e.what();
        }
        try {
            w->Close();
        } catch (const EWriteError& e) {
            atClose = e.what();
        }
    }
    EXPECT_EQ(during, "Stream write error");
    EXPECT_EQ(atClose, "Stream write error");
    EXPECT_FALSE(AnyDataFile(folder));
}

TEST_P(WriterFaults, SecondCloseChangesNothing) {
    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    auto w = NewWriter(folder);
    Declare(*w);
    WriteCells(*w, 3);
    w->Close();
    std::vector<std::string> before;
    for (const auto& ext : GetParam().dataFiles)
        before.push_back(testutil::ReadFileBytes(File(folder, ext)));
    EXPECT_NO_THROW(w->Close());
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(testutil::ReadFileBytes(File(folder, GetParam().dataFiles[i])), before[i]);
    EXPECT_EQ(w->WrittenRecords(), 3);
}

// Destroying a writer that was never closed abandons its output: no crash, and no
// file is left that looks like a finished grid.
TEST_P(WriterFaults, DestroyingAnUnclosedWriterRemovesItsOutput) {
    enum Stage { NotStarted, Started, Declared, MidObject, Written };
    for (Stage stage : {NotStarted, Started, Declared, MidObject, Written}) {
        SCOPED_TRACE(stage);
        testutil::TempDir dir;
        const std::string folder = dir.path().string();
        const int fds = OpenFdCount();
        {
            auto w = NewWriter(folder);
            if (stage >= Started)
                w->StartHeader(1, otRegion);
            if (stage >= Declared)
                w->AddField("KN1kmDK", gfChar, 20, 0);
            if (stage >= MidObject)
                w->AddObject(2, false, "\"x\"");
            if (stage == Written) {
                auto ring = Section(Square(0, 0, 1));
                w->AddSection(0, ring);
                w->AddSection(0, ring);
                WriteCells(*w, 100);
            }
        }
        EXPECT_EQ(OpenFdCount(), fds);
        EXPECT_FALSE(AnyDataFile(folder));
        for (const auto& ext : GetParam().sideFiles)
            EXPECT_EQ(Exists(File(folder, ext)), stage >= Started);
    }
}

TEST_P(WriterFaults, DropRemovesTheOutputAtAnyPoint) {
    for (bool closedFirst : {false, true}) {
        testutil::TempDir dir;
        const std::string folder = dir.path().string();
        auto w = NewWriter(folder);
        Declare(*w);
        WriteCells(*w, 5);
        w->AddObject(1, false, "\"half\"");
        if (closedFirst)
            w->Close();
        EXPECT_NO_THROW(w->Drop());
        EXPECT_FALSE(AnyDataFile(folder));
        for (const auto& ext : GetParam().sideFiles)
            EXPECT_TRUE(Exists(File(folder, ext)));
        EXPECT_NO_THROW(w->Drop());
        EXPECT_NO_THROW(w->Close());
    }
}

TEST_P(WriterFaults, ClosingBeforeAllFieldsAreDeclaredIsRefused) {
    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    auto w = NewWriter(folder);
    w->StartHeader(2, otRegion);
    w->AddField("a", gfChar, 5, 0);
    EXPECT_THROW(w->Close(), Exception);
    EXPECT_FALSE(AnyDataFile(folder));
}

INSTANTIATE_TEST_SUITE_P(Formats, WriterFaults, ::testing::ValuesIn(Formats),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
