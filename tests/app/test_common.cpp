// The program's own place, the lookup of its data files in the build tree and in
// an installation, and what the desktop's open action is given.

#include "scripted_dialogs.h"
#include "temp_dir.h"
#include "uCommon.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace quadrel;
namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& p) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
}

TEST(Common, ProgramPathAndFolder) {
    const std::string exe = ExeFileName();
    EXPECT_EQ(exe, fs::canonical("/proc/self/exe").string());
    EXPECT_EQ(fs::path(exe).filename(), "test_app_common");
    const std::string folder = ExeFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(folder + "test_app_common", exe);
}

TEST(Common, DataFilesBesideTheProgramThenInShare) {
    testutil::TempDir dir;
    const fs::path bin = dir.path() / "prefix" / "bin";
    const fs::path share = dir.path() / "prefix" / "share" / "quadrel";
    fs::create_directories(bin);
    const std::string binFolder = bin.string() + "/";

    // In neither place: the path beside the program, for the message that names it.
    EXPECT_EQ(DataFileIn(binFolder, "dkn.bmp"), (bin / "dkn.bmp").string());
    // Installed layout.
    Touch(share / "dkn.bmp");
    EXPECT_EQ(DataFileIn(binFolder, "dkn.bmp"), (share / "dkn.bmp").string());
    // Beside the program wins (the build tree).
    Touch(bin / "dkn.bmp");
    EXPECT_EQ(DataFileIn(binFolder, "dkn.bmp"), (bin / "dkn.bmp").string());
    // A folder of that name is not a data file.
    fs::create_directories(bin / "quadrel.html");
    Touch(share / "quadrel.html");
    EXPECT_EQ(DataFileIn(binFolder, "quadrel.html"), (share / "quadrel.html").string());
}

TEST(Common, TheBuildTreeHoldsTheDataBesideTheTests) {
    for (const char* name :
         {"dkn.bmp", "dkn.bpw", "eurogrid.bmp", "eurogrid.bpw", HelpFileName, "quadrel.png"})
        EXPECT_TRUE(fs::is_regular_file(DataFile(name))) << name;
}

TEST(Common, ShellRunOpensAddressesAndFiles) {
    struct Case {
        std::string File;
        std::string Url;
    } cases[] = {
        {"https://norvane.example/", "https://norvane.example/"},
        {"http://quadrel.example/download.php", "http://quadrel.example/download.php"},
        {"/usr/share/quadrel/quadrel.html", "file:///usr/share/quadrel/quadrel.html"},
        // Characters that mean something in an address stay part of the file name.
        {"/tmp/a b/#1?.html", "file:///tmp/a%20b/%231%3F.html"},
        {"/tmp/x:y.html", "file:///tmp/x:y.html"},
    };
    apptest::OpenedUrls opened;
    for (const Case& c : cases) {
        ShellRun(c.File, "", "", SW_SHOWNORMAL);
        ASSERT_FALSE(opened.Urls.empty());
        EXPECT_EQ(opened.Urls.back().toString(QUrl::FullyEncoded).toStdString(), c.Url) << c.File;
        if (c.File.front() == '/') {
            EXPECT_EQ(opened.Urls.back().toLocalFile().toStdString(), c.File);
        }
    }
    EXPECT_EQ(opened.Urls.size(), std::size(cases));
}

} // namespace
