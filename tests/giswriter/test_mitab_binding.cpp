// The MITAB binding: which library it loads, the status it reports for libraries that
// are missing or wrong, and the entry points it resolves by name.

#include "mitab.h"
#include "pwnet_giswriter.h"
#include "temp_dir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace pwnet;

namespace {

using FeatureCountFn = int (*)(void*);

// The status of each way a library can be missing or wrong.
TEST(MitabBinding, StatusOfLibrariesThatCannotBeUsed) {
    testutil::TempDir dir;
    const std::string notALibrary = dir / "libmitab.so.1";
    std::ofstream(notALibrary) << "not a shared object\n";
    struct Case {
        const char* name;
        std::vector<std::string> candidates;
        int32_t status;
    };
    const Case cases[] = {
        {"no candidates", {}, MitabNotLoadable},
        {"missing file", {dir / "libquadrel_mitab.so"}, MitabNotLoadable},
        {"missing bare name", {"libquadrel_mitab_does_not_exist.so"}, MitabNotLoadable},
        {"not a library", {notALibrary}, MitabNotLoadable},
        {"no version entry", {FAKE_MITAB_NO_VERSION}, MitabNoVersionEntry},
        {"wrong version", {FAKE_MITAB_WRONG_VERSION}, MitabWrongVersion},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TMitabBinding b = BindMitab(c.candidates);
        EXPECT_EQ(b.Status, c.status);
        EXPECT_FALSE(b.CanWriteTables());
        // A rejected library is not kept: nothing of it can be called.
        EXPECT_EQ(b.Library, nullptr);
        EXPECT_EQ(b.create, nullptr);
        EXPECT_EQ(b.close, nullptr);
        EXPECT_EQ(b.EntryPoint("mitab_c_get_feature_count"), nullptr);
    }
}

// The first candidate that loads counts, even when a later one would be better.
TEST(MitabBinding, FirstLoadableCandidateCounts) {
    testutil::TempDir dir;
    const TMitabBinding missingThenRecorder =
        BindMitab({dir / "libquadrel_mitab.so", FAKE_MITAB_RECORDER});
    EXPECT_EQ(missingThenRecorder.Status, MitabLoaded);
    EXPECT_EQ(missingThenRecorder.LibraryPath, FAKE_MITAB_RECORDER);

    const TMitabBinding wrongThenRecorder =
        BindMitab({FAKE_MITAB_WRONG_VERSION, FAKE_MITAB_RECORDER});
    EXPECT_EQ(wrongThenRecorder.Status, MitabWrongVersion);
    EXPECT_EQ(wrongThenRecorder.LibraryPath, FAKE_MITAB_WRONG_VERSION);
}

// A library of the right version is bound even when it lacks entry points; those stay
// null, the others are its own functions. It cannot write tables, so the TAB writer
// never calls through a null pointer.
TEST(MitabBinding, MissingEntryPointsStayNull) {
    const TMitabBinding b = BindMitab({FAKE_MITAB_PARTIAL});
    ASSERT_EQ(b.Status, MitabLoaded);
    EXPECT_NE(b.Library, nullptr);
    EXPECT_NE(b.getlibversion, nullptr);
    EXPECT_NE(b.create, nullptr);
    EXPECT_NE(b.close, nullptr);
    for (const char* missing : {"mitab_c_set_charset", "mitab_c_add_field", "mitab_c_set_pen",
                                "mitab_c_write_feature", "mitab_c_open", "mitab_c_get_text"})
        EXPECT_EQ(b.EntryPoint(missing), nullptr) << missing;
    EXPECT_EQ(b.set_pen, nullptr);
    auto count = reinterpret_cast<FeatureCountFn>(b.EntryPoint("mitab_c_get_feature_count"));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count(nullptr), 4242) << "resolved in the library that was loaded";
    EXPECT_FALSE(b.CanWriteTables());

    // The writer treats it like a missing library: nothing is called, nothing raised.
    testutil::TempDir dir;
    TGISWriteMITAB w(b);
    w.FileName = dir / "grid";
    w.StartHeader(1, otRegion);
    w.AddField("id", gfChar, 10, 0);
    w.AddObject(0, false, "a");
    w.Close();
    EXPECT_FALSE(w.TableCreated());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(MitabBinding, CompleteLibraryResolvesEveryEntryPointByName) {
    const TMitabBinding b = BindMitab({FAKE_MITAB_RECORDER});
    ASSERT_EQ(b.Status, MitabLoaded);
    EXPECT_TRUE(b.CanWriteTables());
    EXPECT_EQ(b.getlibversion(), MitabRequiredVersion);
    EXPECT_EQ(b.EntryPoint("mitab_c_create"), reinterpret_cast<void*>(b.create));
    EXPECT_EQ(b.EntryPoint("mitab_c_close"), reinterpret_cast<void*>(b.close));
    EXPECT_EQ(b.EntryPoint("no_such_entry"), nullptr);
    // The recorder implements only what the writer calls.
    for (const char* name : MitabOtherEntryNames)
        EXPECT_EQ(b.EntryPoint(name), nullptr) << name;
}

TEST(MitabBinding, LooksBesideTheProgramFirstThenOnTheLibraryPath) {
    const std::vector<std::string> c = MitabLibraryCandidates();
    const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0], (folder / "libquadrel_mitab.so").string());
    EXPECT_EQ(std::filesystem::path(c[1]).filename(), "libquadrel_mitab.so");
    EXPECT_TRUE(std::filesystem::path(c[1]).is_absolute());
    EXPECT_EQ(c[2], "libquadrel_mitab.so");
    EXPECT_EQ(c[3], "libmitab.so.1");
}

// The program's binding: made once, and with the adapter built beside this test
// program in bin/, it is the adapter that answers.
TEST(MitabBinding, ProgramBindingIsMadeOnceAndAnswersTheFactory) {
    const int32_t status = LoadMitab();
    EXPECT_EQ(LoadMitab(), status);
    EXPECT_EQ(MitabStatus(), status);
    EXPECT_EQ(&Mitab(), &Mitab());
    EXPECT_EQ(MitabAvailable(), status == MitabLoaded && Mitab().CanWriteTables());
    EXPECT_EQ(TGISWrite::MITAB_supported(), MitabAvailable());
#ifdef QUADREL_HAVE_MITAB_ADAPTER
    EXPECT_EQ(status, MitabLoaded);
    EXPECT_TRUE(MitabAvailable());
    const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    EXPECT_EQ(Mitab().LibraryPath, (folder / "libquadrel_mitab.so").string());
    EXPECT_EQ(Mitab().getlibversion(), MitabRequiredVersion);
#endif
    auto w = TGISWrite::GetGISObject(gfMITAB);
    if (MitabAvailable())
        EXPECT_NE(dynamic_cast<TGISWriteMITAB*>(w.get()), nullptr);
    else
        EXPECT_EQ(typeid(*w), typeid(TGISWriteMIF));
}

} // namespace
