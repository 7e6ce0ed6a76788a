// The library's surface: what it exports, the version it reports, the tables it
// refuses to create and the calls it survives.

#include "mitab_library.h"
#include "ogr_table.h"
#include "temp_dir.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>

using namespace mitabtest;

namespace {

const std::set<std::string> kEntryPoints = {
    "mitab_c_getlibversion", "mitab_c_create",          "mitab_c_set_charset",
    "mitab_c_add_field",     "mitab_c_create_feature",  "mitab_c_set_field",
    "mitab_c_set_pen",       "mitab_c_set_brush",       "mitab_c_set_points",
    "mitab_c_set_symbol",    "mitab_c_write_feature",   "mitab_c_destroy_feature",
    "mitab_c_close",         "mitab_c_getlasterrorno",  "mitab_c_getlasterrormsg"};

std::set<std::string> DynamicSymbols(const std::string& library) {
    std::set<std::string> names;
    const std::string command = std::string(QUADREL_NM) + " -D --defined-only " + library;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return names;
    char line[1024];
    while (fgets(line, sizeof line, pipe.get())) {
        std::istringstream fields(line);
        std::string address, kind, name;
        if (fields >> address >> kind >> name) names.insert(name);
    }
    return names;
}

} // namespace

TEST(MitabLibraryExports, OnlyTheMitabEntryPointsAreExported) {
    EXPECT_EQ(DynamicSymbols(QUADREL_MITAB_LIBRARY), kEntryPoints);
}

TEST_F(MitabTest, ResolvesByNameAndReportsMitabVersion1007000) {
    EXPECT_EQ(api.getlibversion(), 1007000);
    // Names of MITAB's C API that this library does not provide stay unresolved.
    EXPECT_EQ(dlsym(api.library, "mitab_c_open"), nullptr);
    EXPECT_EQ(dlsym(api.library, "mitab_c_get_feature_count"), nullptr);
}

struct RefusedCreate {
    const char* name;
    const char* file; // inside the test folder; "@" stands for an unwritable folder
    const char* kind;
    const char* coordSys;
    friend void PrintTo(const RefusedCreate& c, std::ostream* out) { *out << c.name; }
};

class MitabCreateRefused : public MitabTest,
                           public ::testing::WithParamInterface<RefusedCreate> {};

TEST_P(MitabCreateRefused, ReturnsNullAndLeavesNoTable) {
    const RefusedCreate& c = GetParam();
    testutil::TempDir dir;
    std::string file = c.file;
    if (file.front() == '@')
        file = testutil::UnwritableFolder(dir) + file.substr(1);
    else if (!file.empty())
        file = dir / file;
    EXPECT_EQ(api.create(file.c_str(), c.kind, c.coordSys, 6500000, 6000000, 1000000, 100000),
              nullptr);
    if (std::string(c.file).front() != '@') {
        EXPECT_EQ(testutil::FilesIn(dir.path()), std::set<std::string>{});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MitabCreateRefused,
    ::testing::Values(RefusedCreate{"UnwritableFolder", "@/grid.tab", "tab", kUtm32Etrs89},
                      RefusedCreate{"MissingFolder", "no/such/folder/grid.tab", "tab",
                                    kUtm32Etrs89},
                      RefusedCreate{"UnreadableClause", "grid.tab", "tab", "CoordSys Nonsense 7"},
                      RefusedCreate{"TabWithoutTabExtension", "grid.txt", "tab", kUtm32Etrs89},
                      RefusedCreate{"TabWithoutExtension", "grid", "tab", kUtm32Etrs89},
                      RefusedCreate{"MifWithTabExtension", "grid.tab", "mif", kUtm32Etrs89},
                      RefusedCreate{"EmptyFileName", "", "tab", kUtm32Etrs89}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MitabTest, NullFileNameIsRefused) {
    EXPECT_EQ(api.create(nullptr, "tab", kUtm32Etrs89, 0, 0, 0, 0), nullptr);
}

// A writer that goes on calling after a failed create hands null handles to everything.
TEST_F(MitabTest, NullHandlesAreIgnored) {
    const double x[] = {1, 2}, y[] = {3, 4};
    EXPECT_EQ(api.set_charset(nullptr, "WindowsLatin1"), -1);
    EXPECT_EQ(api.add_field(nullptr, "a", TABFT_Char, 10, 0, 0, 0), -1);
    EXPECT_EQ(api.create_feature(nullptr, TABFC_Region), nullptr);
    api.set_field(nullptr, 0, "x");
    api.set_pen(nullptr, 1, 2, 0);
    api.set_brush(nullptr, 0, 0, 2, 1);
    api.set_points(nullptr, 0, 2, x, y);
    api.set_symbol(nullptr, 33, 12, 0);
    EXPECT_EQ(api.write_feature(nullptr, nullptr), 0);
    api.destroy_feature(nullptr);
    api.close(nullptr);
}

// Calls out of order or out of range fail or do nothing, and the table written around
// them is still complete and correct.
TEST_F(MitabTest, MisplacedCallsFailWithoutHarmingTheTable) {
    testutil::TempDir dir;
    const std::string file = dir / "grid.tab";
    mitab_handle table = api.create(file.c_str(), "tab", kUtm32Etrs89, 10, 0, 10, 0);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(api.set_charset(table, ""), -1);
    EXPECT_EQ(api.set_charset(table, nullptr), -1);
    EXPECT_EQ(api.set_charset(table, "NoSuchCharset"), -1);
    EXPECT_EQ(api.set_charset(table, "WindowsLatin1"), 0);
    EXPECT_EQ(api.add_field(table, "name", 0, 10, 0, 0, 0), -1);
    EXPECT_EQ(api.add_field(table, "name", 10, 10, 0, 0, 0), -1);
    EXPECT_EQ(api.add_field(table, nullptr, TABFT_Char, 10, 0, 0, 0), -1);
    EXPECT_EQ(api.add_field(table, "name", TABFT_Char, 10, 0, 0, 0), 0);
    EXPECT_EQ(api.set_charset(table, "WindowsLatin2"), -1) << "the layout is already fixed";

    for (int type : {TABFC_FontPoint, TABFC_CustomPoint, TABFC_Text, TABFC_Arc,
                     TABFC_Rectangle, TABFC_Ellipse, TABFC_MultiPoint, TABFC_Collection, 12, -1})
        EXPECT_EQ(api.create_feature(table, type), nullptr) << "type " << type;

    mitab_feature feature = api.create_feature(table, TABFC_Region);
    ASSERT_NE(feature, nullptr);
    EXPECT_EQ(api.add_field(table, "late", TABFT_Integer, 0, 0, 0, 0), -1)
        << "fields come before features";
    api.set_field(feature, -1, "ignored");
    api.set_field(feature, 1, "ignored");
    api.set_field(feature, 0, "cell");
    const Ring ring = Square(1, 1, 2);
    std::vector<double> x, y;
    for (const XY& p : ring) x.push_back(p.x), y.push_back(p.y);
    api.set_points(feature, 0, 5, nullptr, y.data());
    api.set_points(feature, 0, 0, x.data(), y.data());
    api.set_points(feature, 0, -3, x.data(), y.data());
    api.set_points(feature, 0, 5, x.data(), y.data());
    api.set_symbol(feature, 40, 20, 0xFF0000); // not a point: no symbol

    // A feature belongs to the table it was created for.
    const std::string otherFile = dir / "other.tab";
    mitab_handle other = api.create(otherFile.c_str(), "tab", kUtm32Etrs89, 10, 0, 10, 0);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(api.write_feature(other, feature), 0);
    api.close(other);

    EXPECT_EQ(api.write_feature(table, feature), 1);
    api.destroy_feature(feature);
    api.destroy_feature(feature); // a second release is ignored
    EXPECT_EQ(api.write_feature(table, feature), 0) << "a released feature is gone";
    api.close(table);
    api.close(table); // so is a closed table
    EXPECT_EQ(api.create_feature(table, TABFC_Region), nullptr);

    OgrTable read(file);
    ASSERT_TRUE(read.Ok());
    ASSERT_EQ(read.Count(), 1);
    const Row row = read.Rows().front();
    EXPECT_EQ(row.values, (std::vector<std::optional<std::string>>{"cell"}));
    ASSERT_EQ(row.polygons.size(), 1u);
    EXPECT_EQ(row.polygons[0], std::vector<Ring>{ring});
    EXPECT_EQ(StyleParams(row.style, "SYMBOL").size(), 0u);
}
