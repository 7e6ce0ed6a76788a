// Faults the GML, CSV, KML and GeoJSON writers must survive: folders where no file
// can be created, a full disk, a disk filling up during the run, a second Close,
// Drop at any point and a writer destroyed without being closed.

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
    std::vector<std::string> files; // what the output consists of, in creation order
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

const FormatCase Formats[] = {
    {"gml", gfGML2, {".xml", ".xsd"}},
    {"csv", gfCSV, {".csv"}},
    {"kml", gfKML2, {".kml"}},
    {"geojson", gfGeoJSON, {".geojson"}},
};

class FurtherWriterFaults : public ::testing::TestWithParam<FormatCase> {
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
    bool AnyFile(const std::string& folder) {
        for (const auto& ext : GetParam().files)
            if (std::filesystem::exists(std::filesystem::symlink_status(File(folder, ext))))
                return true;
        return false;
    }
};

TEST_P(FurtherWriterFaults, FolderWhereNoFileCanBeCreated) {
    testutil::TempDir dir;
    const std::string folders[] = {testutil::UnwritableFolder(dir), dir / "missing/deeper"};
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        const int fds = OpenFdCount();
        auto w = NewWriter(folder);
        std::string message;
        try {
            w->StartHeader(1, otRegion);
        } catch (const EFCreateError& e) {
            message = e.what();
        }
        EXPECT_TRUE(message.starts_with("Cannot create file \"" +
                                        File(folder, GetParam().files[0]) + "\". "))
            << message;
        EXPECT_EQ(OpenFdCount(), fds);
        EXPECT_NO_THROW(w->Close());
        EXPECT_THROW(w->AddObject(1, false, "x"), Exception);
        EXPECT_FALSE(AnyFile(folder));
    }
}

// The GML schema cannot be created after the collection was: the collection goes too.
TEST(GmlFaults, SchemaThatCannotBeCreatedTakesTheCollectionAlong) {
    testutil::TempDir dir;
    std::filesystem::create_directory(dir / "grid.xsd"); // a folder in the file's place
    auto w = TGISWrite::GetGISObject(gfGML2);
    w->FileName = dir / "grid";
    EXPECT_THROW(w->StartHeader(1, otRegion), EFCreateError);
    EXPECT_FALSE(Exists(dir / "grid.xml"));
}

// Every file of the output on a device that takes no byte. The error may show as soon
// as a file is finished (the GML schema with its last field), and at the latest at
// Close; either way Close fails and nothing of the output is left.
TEST_P(FurtherWriterFaults, FullDiskIsReportedAndLeavesNoOutput) {
    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    for (const auto& ext : GetParam().files)
        std::filesystem::create_symlink("/dev/full", File(folder, ext));
    const int fds = OpenFdCount();
    auto w = NewWriter(folder);
    std::vector<std::string> errors;
    auto attempt = [&](const std::function<void()>& step) {
        try {
            step();
        } catch (const EWriteError& e) {
            errors.push_back(e.what());
        } catch (const Exception&) {
            // a later step refused after the failure
        }
    };
    attempt([&] { Declare(*w); });
    attempt([&] { WriteCells(*w, 10); });
    const size_t before = errors.size();
    attempt([&] { w->Close(); });
    EXPECT_EQ(errors.size(), before + 1) << "Close reported success on a full disk";
    for (const auto& e : errors)
        EXPECT_EQ(e, "Stream write error");
    EXPECT_EQ(OpenFdCount(), fds);
    EXPECT_FALSE(AnyFile(folder));
    EXPECT_NO_THROW(w->Close());
}

TEST_P(FurtherWriterFaults, DiskFillingUpDuringTheRunIsReportedAndNothingLooksComplete) {
    struct LimitFileSize {
        rlimit old{};
        void (*oldHandler)(int);
        explicit LimitFileSize(rlim_t bytes) {
            oldHandler = std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails: EFBIG
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
    EXPECT_FALSE(AnyFile(folder));
}

TEST_P(FurtherWriterFaults, SecondCloseChangesNothing) {
    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    auto w = NewWriter(folder);
    Declare(*w);
    WriteCells(*w, 3);
    w->Close();
    std::vector<std::string> before;
    for (const auto& ext : GetParam().files)
        before.push_back(testutil::ReadFileBytes(File(folder, ext)));
    EXPECT_NO_THROW(w->Close());
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(testutil::ReadFileBytes(File(folder, GetParam().files[i])), before[i]);
    EXPECT_EQ(w->WrittenRecords(), 3);
}

TEST_P(FurtherWriterFaults, DestroyingAnUnclosedWriterRemovesItsOutput) {
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
        EXPECT_FALSE(AnyFile(folder));
    }
}

TEST_P(FurtherWriterFaults, DropRemovesTheOutputAtAnyPoint) {
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
        EXPECT_FALSE(AnyFile(folder));
        EXPECT_NO_THROW(w->Drop());
        EXPECT_NO_THROW(w->Close());
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, FurtherWriterFaults, ::testing::ValuesIn(Formats),
                         [](const auto& info) { return std::string(info.param.name); });

// The collection vanished before Close could patch its box: the patch cannot open it
// and says so.
TEST(GmlFaults, CollectionGoneBeforeTheBoxPatch) {
    testutil::TempDir dir;
    auto w = TGISWrite::GetGISObject(gfGML2);
    w->FileName = dir / "grid";
    w->StartHeader(1, otRegion);
    w->AddField("id", gfInteger, 5, 0);
    AddCell(*w, "1", Square(0, 0, 1));
    std::filesystem::remove(dir / "grid.xml");
    try {
        w->Close();
        ADD_FAILURE() << "Close reported success";
    } catch (const EFOpenError& e) {
        EXPECT_TRUE(std::string(e.what()).starts_with("Cannot open file")) << e.what();
    }
    EXPECT_FALSE(Exists(dir / "grid.xml"));
    EXPECT_FALSE(Exists(dir / "grid.xsd"));
}

} // namespace
