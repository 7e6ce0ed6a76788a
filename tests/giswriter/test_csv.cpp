// The CSV writer: the quoted header line, every object's row as given whatever its
// geometry, the code page, and the table read back by GDAL.

#include "readers.h"
#include "temp_dir.h"

using namespace pwnet;
using namespace gwtest;

namespace {

std::unique_ptr<TGISWrite> NewCsv(const testutil::TempDir& dir) {
    return NewWriter(gfCSV, dir / "grid");
}

// Rows arrive through every kind of object, also those the file's kind would
// refuse elsewhere; geometry is never written.
TEST(CsvBytes, HeaderThenEveryRowAsGiven) {
    for (TObjectTypes kind : {otRegion, otPline, otPoint, otNone}) {
        testutil::TempDir dir;
        auto w = NewCsv(dir);
        w->StartHeader(2, kind);
        w->AddField("a", gfChar, 10, 0);
        w->AddField("b", gfDecimal, 7, 0);
        AddCell(*w, "\"1km_6200_440\",  440000", Square(440000, 6200000, 1000));
        w->AddObject(0, false, "x,1");
        w->AddLine(0, 0, 1, 1, "\"line, with comma\",2");
        w->AddPoint(5, 5, "point,3");
        w->Close();
        EXPECT_EQ(w->WrittenRecords(), 4) << kind;
        EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.csv"), "\"a\",\"b\"\r\n"
                                                             "\"1km_6200_440\",  440000\r\n"
                                                             "x,1\r\n"
                                                             "\"line, with comma\",2\r\n"
                                                             "point,3\r\n")
            << kind;
    }
}

TEST(CsvBytes, TextInTheWritersCodePage) {
    struct Case {
        uint16_t codepage;
        std::string bytes;
    };
    const Case cases[] = {
        {1252, "\"Stednavn\"\r\n\"\xC6r\xF8sk\xF8"
               "bing\"\r\n"},
        {65001, "\"Stednavn\"\r\n\"Ærøskøbing\"\r\n"}, // UTF-8 without byte-order mark
    };
    for (const auto& c : cases) {
        testutil::TempDir dir;
        auto w = NewCsv(dir);
        w->SetCodepage(c.codepage);
        w->StartHeader(1, otRegion);
        w->AddField("Stednavn", gfChar, 40, 0);
        AddCell(*w, "\"Ærøskøbing\"", Square(0, 0, 1));
        w->Close();
        EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.csv"), c.bytes) << c.codepage;
    }
}

// A quote in a field name is doubled so that the header keeps one name per field;
// a table without fields still has its (empty) header line.
TEST(CsvBytes, HeaderEdgeCases) {
    {
        testutil::TempDir dir;
        auto w = NewCsv(dir);
        w->StartHeader(2, otRegion);
        w->AddField("say \"hi\"", gfChar, 5, 0);
        w->AddField("b", gfChar, 5, 0);
        w->Close();
        EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.csv"), "\"say \"\"hi\"\"\",\"b\"\r\n");
    }
    {
        testutil::TempDir dir;
        auto w = NewCsv(dir);
        w->StartHeader(0, otRegion);
        AddCell(*w, "", Square(0, 0, 1));
        w->Close();
        EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.csv"), "\r\n\r\n");
    }
}

TEST(CsvRead, GdalReadsTheGrid) {
    testutil::TempDir dir;
    auto w = NewCsv(dir);
    w->SetCodepage(65001);
    w->StartHeader(2, otRegion);
    w->AddField("KN10kmDK", gfChar, 20, 0);
    w->AddField("Stednavn", gfChar, 40, 0);
    for (int i = 0; i < 30; ++i)
        AddCell(*w,
                "\"10km_" + std::to_string(620 + i) + "_44\",\"Ærø, " + std::to_string(i) + "\"",
                Square(440000, 6200000 + 10000.0 * i, 10000));
    w->Close();
    const OgrLayer layer = ReadWithOgr(dir / "grid.csv");
    ASSERT_EQ(layer.fields.size(), 2u);
    EXPECT_EQ(layer.fields[0].name, "KN10kmDK");
    EXPECT_EQ(layer.fields[1].name, "Stednavn");
    ASSERT_EQ(layer.featureCount, 30);
    EXPECT_EQ(layer.features[0].values, (std::vector<std::string>{"10km_620_44", "Ærø, 0"}));
    EXPECT_EQ(layer.features[29].values, (std::vector<std::string>{"10km_649_44", "Ærø, 29"}));
    EXPECT_EQ(layer.features[0].geometryType, "");
}

} // namespace
