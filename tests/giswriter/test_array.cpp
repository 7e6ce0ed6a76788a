// The in-memory writer: records with typed values and parts, the box, the growth
// of the record array, conversion errors, and what Drop and Close leave.

#include "readers.h"

#include <cmath>

using namespace pwnet;
using namespace gwtest;
using namespace std::chrono;

namespace {

std::unique_ptr<TGISWrite> NewArray() {
    return TGISWrite::GetGISObject(gfArray);
}

TEST(ArrayWriter, PointsMakeRecordsAndTheBox) {
    auto w = NewArray();
    ASSERT_NE(w->GISarray, nullptr);
    w->StartHeader(1, otPoint);
    w->AddField("id", gfInteger, 5, 0);
    const TGISArray& a = *w->GISarray;
    EXPECT_EQ(a.OT, otPoint);
    EXPECT_EQ(a.MBR.xmin, UnsetCoordinate); // empty until a point arrives
    EXPECT_EQ(a.MBR.xmax, -UnsetCoordinate);
    for (int i = 0; i < 100; ++i)
        w->AddPoint(i % 10 - 3.5, i / 10 * 2.0 + 1, std::to_string(i));
    w->Close();
    EXPECT_EQ(a.RecCount, 100);
    EXPECT_EQ(w->WrittenRecords(), 100);
    // the array grows by at least 50 records at a time and keeps room ahead
    EXPECT_EQ(a.Rec.size(), 147u);
    EXPECT_DOUBLE_EQ(a.MBR.xmin, -3.5);
    EXPECT_DOUBLE_EQ(a.MBR.xmax, 5.5);
    EXPECT_DOUBLE_EQ(a.MBR.ymin, 1);
    EXPECT_DOUBLE_EQ(a.MBR.ymax, 19);
    EXPECT_EQ(a.Rec[37].Attr, (std::vector<TGISValue>{int64_t{37}}));
    EXPECT_EQ(a.Rec[37].Coord, (std::vector<TFloatPointArray>{{{3.5, 7}}}));
    ASSERT_EQ(a.Field.size(), 1u);
    EXPECT_EQ(a.Field[0].Name, "id");
    EXPECT_EQ(a.Field[0].FieldType, gfInteger);
}

TEST(ArrayWriter, GrowthOfTheRecordArray) {
    // 0.3 x 195 is 58.5 and rounds to the even 58
    const std::pair<int, size_t> steps[] = {{1, 49},    {47, 49},   {48, 98},  {97, 147},
                                            {146, 196}, {195, 253}, {252, 328}};
    auto w = NewArray();
    w->StartHeader(0, otNone);
    int n = 0;
    for (const auto& [records, length] : steps) {
        while (n < records) {
            w->AddObject(0, false, "");
            ++n;
        }
        EXPECT_EQ(w->GISarray->Rec.size(), length) << records;
    }
    // past about 167 records a step is 30 % of the array, not 50 records
    while (n < 1000) {
        w->AddObject(0, false, "");
        ++n;
    }
    const auto& a = *w->GISarray;
    EXPECT_EQ(a.RecCount, 1000);
    EXPECT_GT(a.Rec.size(), 1000u);
    EXPECT_LE(a.Rec.size(), 1000u + 1000u * 3 / 10 + 2);
}

TEST(ArrayWriter, ValuesByFieldType) {
    struct Case {
        TGISField type;
        std::string value;
        TGISValue expected;
    };
    const Case cases[] = {
        {gfChar, "\"Ærø, 1\"", std::string("Ærø, 1")},
        {gfDecimal, "440000", 440000.0},
        {gfFloat, "-1.5e3x", -1500.0}, // read as the dBASE table reads numbers
        {gfFloat, "\"\"", 0.0},
        {gfInteger, "-42", int64_t{-42}},
        {gfSmallInt, "+7", int64_t{7}},
        {gfInteger, "9999999999", int64_t{9999999999}},
        {gfDate, "20240229", year{2024} / 2 / 29},
        {gfDate, "20230229", TGISValue()}, // no such day
        {gfDate, "2024022", TGISValue()},
        {gfTime, "235959999", milliseconds{86399999}},
        {gfTime, "240000000", TGISValue()},
        {gfDateTime, "20240131123456789",
         local_days{year{2024} / 1 / 31} + hours{12} + minutes{34} + seconds{56} +
             milliseconds{789}},
        {gfDateTime, "2024013112345678", TGISValue()},
        {gfLogical, "t", true},
        {gfLogical, "N", false},
        {gfLogical, "\"\"", false},
    };
    for (const auto& c : cases) {
        auto w = NewArray();
        w->StartHeader(1, otNone);
        w->AddField("v", c.type, 20, 0);
        w->AddObject(0, false, c.value);
        ASSERT_EQ(w->GISarray->RecCount, 1);
        EXPECT_EQ(w->GISarray->Rec[0].Attr, std::vector<TGISValue>{c.expected}) << c.value;
    }
}

TEST(ArrayWriter, RejectedRowsAddNoRecord) {
    struct Case {
        TGISField type;
        std::string row;
        std::string message;
    };
    const Case cases[] = {
        {gfInteger, "12a", "'12a' is not a valid integer value"},
        {gfInteger, "\"\"", "'' is not a valid integer value"},
        {gfSmallInt, "1.5", "'1.5' is not a valid integer value"},
        {gfInteger, "99999999999999999999", "'99999999999999999999' is not a valid integer value"},
        {gfChar, "a,b",
         "Number of values must match number of fields. NumVal = 2, NumFields = 1, string = "
         "\"a,b\""},
    };
    for (const auto& c : cases) {
        auto w = NewArray();
        w->StartHeader(1, otPoint);
        w->AddField("v", c.type, 20, 0);
        try {
            w->AddPoint(1, 1, c.row);
            ADD_FAILURE() << c.row;
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_EQ(w->GISarray->RecCount, 0);
        EXPECT_EQ(w->WrittenRecords(), 0);
        EXPECT_EQ(w->GISarray->MBR.xmin, UnsetCoordinate);
    }
}

TEST(ArrayWriter, ObjectsKeepTheirPartsAndAnIncompleteOneNone) {
    auto w = NewArray();
    w->StartHeader(1, otRegion);
    w->AddField("id", gfInteger, 5, 0);
    const Part outer = Square(0, 0, 10), hole = Square(2, 2, 1);
    w->AddObject(2, false, "1");
    auto a = Section(outer), b = Section(hole);
    w->AddSection(0, a);
    w->AddSection(1, b);
    w->AddObject(2, false, "2");
    auto far = Section(Square(100, 100, 5));
    w->AddSection(0, far); // the second part never arrives
    w->AddObject(0, false, "3");
    w->AddPoint(500, 500, "4"); // not a point file: ignored
    w->Close();
    const TGISArray& r = *w->GISarray;
    ASSERT_EQ(r.RecCount, 3);
    EXPECT_EQ(r.Rec[0].Coord, (std::vector<TFloatPointArray>{outer, hole}));
    EXPECT_TRUE(r.Rec[1].Coord.empty());
    EXPECT_EQ(r.Rec[1].Attr, std::vector<TGISValue>{int64_t{2}});
    EXPECT_TRUE(r.Rec[2].Coord.empty());
    // the box holds the objects that were completed
    EXPECT_DOUBLE_EQ(r.MBR.xmax, 10);
    EXPECT_DOUBLE_EQ(r.MBR.ymax, 10);
}

TEST(ArrayWriter, CloseKeepsTheResultDropEmptiesIt) {
    for (bool closeFirst : {true, false}) {
        auto w = NewArray();
        w->StartHeader(1, otPoint);
        w->AddField("id", gfChar, 5, 0);
        w->AddPoint(1, 2, "a");
        if (closeFirst) {
            w->Close();
            EXPECT_EQ(w->GISarray->RecCount, 1);
        }
        w->Drop();
        EXPECT_EQ(w->GISarray->RecCount, 0);
        EXPECT_TRUE(w->GISarray->Rec.empty());
        EXPECT_TRUE(w->GISarray->Field.empty());
    }
}

TEST(ArrayWriter, OnlyTheArrayWriterHasAResult) {
    for (TGISFormat f : {gfMIF, gfSHP, gfCSV, gfGML2, gfKML2, gfGeoJSON})
        EXPECT_EQ(TGISWrite::GetGISObject(f)->GISarray, nullptr) << f;
}

} // namespace
