// The dBASE writer: exact header and record bytes, stored field types, values,
// code pages, and the same tables read back by shapelib and by GDAL.

#include "readers.h"
#include "temp_dir.h"

#include <ctime>

using namespace pwnet;
using namespace gwtest;

namespace {

std::unique_ptr<TGISWrite> NewDbf(const testutil::TempDir& dir, uint16_t codepage = 1252) {
    auto w = NewWriter(gfDBF, dir / "table");
    w->SetCodepage(codepage);
    return w;
}

// The header's date bytes: year - 1900, month, day of the day the table was started.
std::string DateBytes(const std::tm& d) {
    return {static_cast<char>(d.tm_year % 256), static_cast<char>(d.tm_mon + 1),
            static_cast<char>(d.tm_mday)};
}

std::tm Today() {
    std::time_t now = std::time(nullptr);
    std::tm d{};
    localtime_r(&now, &d);
    return d;
}

// The worked example: one Char(20) and one Char(40) field, header length 97,
// record length 61, one record of a 13-character cell name and a 6-character name.
TEST(DbfBytes, TwoCharacterFieldsGiveTheExampleTable) {
    testutil::TempDir dir;
    auto w = NewDbf(dir);
    const std::tm before = Today();
    w->StartHeader(2, otRegion);
    w->AddField("KN10kmDK", gfChar, 20, 0);
    w->AddField("Stednavn", gfChar, 40, 0);
    AddCell(*w, "\"10km_620_44xy\",\"Skagen\"", Square(440000, 6200000, 10000));
    w->Close();
    const std::tm after = Today();

    const std::string bytes = testutil::ReadFileBytes(dir / "table.dbf");
    ASSERT_EQ(bytes.size(), 97u + 61u + 1u);
    const std::string date = bytes.substr(1, 3);
    EXPECT_TRUE(date == DateBytes(before) || date == DateBytes(after));

    Bytes expected;
    expected.u8(0x03).text(date).le32(1).le16(97).le16(61).zeros(17).u8(0x03).zeros(2);
    expected.text("KN10kmDK").zeros(3).text("C").zeros(4).u8(20).u8(0).zeros(14);
    expected.text("Stednavn").zeros(3).text("C").zeros(4).u8(40).u8(0).zeros(14);
    expected.u8(0x0D);
    expected.text(" ").text("10km_620_44xy").text(std::string(7, ' '));
    expected.text("Skagen").text(std::string(34, ' '));
    expected.u8(0x1A);
    EXPECT_EQ(bytes, expected.str());
}

TEST(DbfBytes, TableWithoutRecordsEndsRightAfterTheTerminator) {
    testutil::TempDir dir;
    auto w = NewDbf(dir);
    w->StartHeader(1, otNone);
    w->AddField("a", gfChar, 5, 0);
    w->Close();
    const std::string bytes = testutil::ReadFileBytes(dir / "table.dbf");
    ASSERT_EQ(bytes.size(), 66u);
    EXPECT_EQ(bytes.substr(4, 4), std::string(4, '\0'));
    EXPECT_EQ(bytes.substr(64), "\x0D\x1A");
}

TEST(DbfBytes, TableWithoutFieldsHasAHeaderOfOneDescriptorBlock) {
    testutil::TempDir dir;
    auto w = NewDbf(dir);
    w->StartHeader(0, otNone);
    w->AddObject(0, false, "");
    w->AddObject(0, false, "");
    w->Close();
    const std::string bytes = testutil::ReadFileBytes(dir / "table.dbf");
    Bytes expected;
    expected.u8(0x03).text(bytes.substr(1, 3)).le32(2).le16(33).le16(1).zeros(17).u8(0x03).zeros(2);
    expected.u8(0x0D).text("  ").u8(0x1A);
    EXPECT_EQ(bytes, expected.str());
    EXPECT_EQ(ReadDbf(dir / "table.dbf").rows.size(), 2u);
}

TEST(DbfBytes, FieldNamesAreCutToTenBytesWithAZeroAfter) {
    struct Case {
        std::string name;
        uint16_t codepage;
        std::string stored; // the 11 name bytes
    };
    const Case cases[] = {
        {"ABCDEFGHIJKLMN", 1252, std::string("ABCDEFGHIJ\0", 11)},
        {"ABCDEFGHIJ", 1252, std::string("ABCDEFGHIJ\0", 11)},
        {"navn", 1252, std::string("navn\0\0\0\0\0\0\0", 11)},
        {"Område", 1252,
         std::string("Omr\xE5"
                     "de\0\0\0\0\0",
                     11)},
        // UTF-8 is cut before a character that would not fit whole
        {"Omkredsæøå", 65001, std::string("Omkreds\xC3\xA6\0\0", 11)},
        {"Områdenøgle", 65001,
         std::string("Omr\xC3\xA5"
                     "den\xC3\xB8\0",
                     11)}, // exactly 10
    };
    for (const auto& c : cases) {
        testutil::TempDir dir;
        auto w = NewDbf(dir, c.codepage);
        w->StartHeader(1, otNone);
        w->AddField(c.name, gfChar, 5, 0);
        w->Close();
        EXPECT_EQ(testutil::ReadFileBytes(dir / "table.dbf").substr(32, 11), c.stored) << c.name;
    }
}

TEST(DbfBytes, LanguageDriverByteFollowsTheCodePage) {
    const std::pair<uint16_t, uint8_t> cases[] = {
        {1252, 0x03}, {65001, 0x00}, {850, 0x02}, {1250, 0x9B}};
    for (const auto& [codepage, driver] : cases) {
        testutil::TempDir dir;
        auto w = NewDbf(dir, codepage);
        w->StartHeader(0, otNone);
        w->Close();
        EXPECT_EQ(static_cast<uint8_t>(testutil::ReadFileBytes(dir / "table.dbf")[29]), driver);
    }
}

// ---- Field types and values ----------------------------------------------------

struct FieldCase {
    TGISField type;
    uint8_t width, decimals; // declared
    std::string value;       // as it appears in the row (quoted where needed)
    char letter;
    uint8_t storedWidth, storedDecimals;
    std::string bytes; // the field's bytes in the record
};

const FieldCase FieldCases[] = {
    {gfChar, 8, 3, "abc", 'C', 8, 0, "abc     "},
    {gfChar, 255, 0, "x", 'C', 254, 0, "x" + std::string(253, ' ')},
    {gfChar, 4, 0, "\"abcdef\"", 'C', 4, 0, "abcd"},
    {gfChar, 7, 0, "\"æøåÆØÅ\"", 'C', 7, 0, "\xE6\xF8\xE5\xC6\xD8\xC5 "},
    {gfInteger, 3, 0, "42", 'N', 11, 0, "         42"},
    {gfInteger, 0, 0, "-7", 'N', 11, 0, "         -7"},
    {gfInteger, 0, 0, "123456789012345", 'N', 11, 0, "12345678901"},
    {gfSmallInt, 2, 0, "123", 'N', 6, 0, "   123"},
    {gfFloat, 0, 0, "1.5", 'N', 20, 8, "          1.50000000"},
    {gfFloat, 12, 3, "-2.25", 'N', 12, 3, "      -2.250"},
    {gfDecimal, 10, 3, "12.5", 'N', 10, 3, "    12.500"},
    {gfDecimal, 5, 2, "1234.5", 'N', 5, 2, "1234."},
    {gfDecimal, 8, 3, "abc", 'N', 8, 3, "   0.000"},
    {gfDecimal, 8, 3, "\"\"", 'N', 8, 3, "   0.000"},
    {gfDecimal, 8, 2, "\" -2.5e1x\"", 'N', 8, 2, "  -25.00"},
    {gfDecimal, 8, 2, "3.", 'N', 8, 2, "    3.00"},
    {gfDecimal, 8, 2, ".5E+1", 'N', 8, 2, "    5.00"},
    {gfDecimal, 8, 2, "7e", 'N', 8, 2, "    7.00"},
    {gfDecimal, 8, 2, "-0", 'N', 8, 2, "    0.00"},
    {gfLogical, 5, 0, "yes", 'L', 1, 0, "T"},
    {gfLogical, 5, 0, "1", 'L', 1, 0, "T"},
    {gfLogical, 5, 0, "True", 'L', 1, 0, "T"},
    {gfLogical, 5, 0, "no", 'L', 1, 0, "F"},
    {gfLogical, 5, 0, "\"\"", 'L', 1, 0, "F"},
    {gfDate, 0, 0, "20240131", 'D', 8, 0, "20240131"},
    {gfDate, 0, 0, "2024-01-31", 'D', 8, 0, "        "},
    {gfTime, 0, 0, "235959123", 'C', 9, 0, "235959123"},
    {gfTime, 0, 0, "2359", 'C', 9, 0, "         "},
    {gfDateTime, 0, 0, "20240131235959123", 'C', 17, 0, "20240131235959123"},
};

TEST(DbfFields, EachTypeIsStoredWithItsLetterWidthAndValueBytes) {
    for (const auto& c : FieldCases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " value " + c.value);
        testutil::TempDir dir;
        auto w = NewDbf(dir);
        w->StartHeader(1, otNone);
        w->AddField("v", c.type, c.width, c.decimals);
        EXPECT_EQ(w->FieldInfo()[1].Width, c.storedWidth);
        EXPECT_EQ(w->FieldInfo()[1].decimals, c.storedDecimals);
        w->AddObject(0, false, c.value);
        w->Close();
        const std::string bytes = testutil::ReadFileBytes(dir / "table.dbf");
        EXPECT_EQ(bytes[32 + 11], c.letter);
        EXPECT_EQ(static_cast<uint8_t>(bytes[32 + 16]), c.storedWidth);
        EXPECT_EQ(static_cast<uint8_t>(bytes[32 + 17]), c.storedDecimals);
        uint16_t recordLength = 0;
        std::memcpy(&recordLength, bytes.data() + 10, 2);
        EXPECT_EQ(recordLength, 1 + c.storedWidth);
        ASSERT_EQ(bytes.size(), 65u + 1 + c.storedWidth + 1);
        EXPECT_EQ(bytes.substr(66, c.storedWidth), c.bytes);
    }
}

TEST(DbfFields, Utf8TextIsNeverCutInsideACharacter) {
    testutil::TempDir dir;
    auto w = NewDbf(dir, 65001);
    w->StartHeader(2, otNone);
    w->AddField("a", gfChar, 5, 0);
    w->AddField("b", gfChar, 6, 0);
    w->AddObject(0, false, "æøå,æøå");
    w->Close();
    const std::string bytes = testutil::ReadFileBytes(dir / "table.dbf");
    EXPECT_EQ(bytes.substr(98, 11), "\xC3\xA6\xC3\xB8 \xC3\xA6\xC3\xB8\xC3\xA5");
}

// A row whose texts need no conversion is built straight into the table's window;
// any other row is converted first. Both ways must store the same bytes: values cut
// to the width (UTF-8 never inside a character), padded with spaces, converted to
// the code page ('?' for what it cannot hold).
TEST(DbfFields, TextIsStoredAlikeWithAndWithoutConversion) {
    struct Case {
        uint16_t codepage;
        std::string row;
        std::string record; // the two fields of widths 4 and 6, after the deletion flag
    };
    const Case cases[] = {
        {1252, "\"ab\",\"cdef\"", "ab  cdef  "},
        {1252, "\"abcdefgh\",\"ijklmnopq\"", "abcdijklmn"},     // cut to the widths
        {1252, "\"Æø\",\"Rønne\"", "\xC6\xF8  R\xF8nne "},      // converted
        {1252, "\"ab\",\"Ærøskøbing\"", "ab  \xC6r\xF8sk\xF8"}, // ASCII beside converted
        {1252, "\"αβ\",\"x\"", "??  x     "},                   // not in the code page
        {437, "\"Æb\",\"ab\"",
         "\x92"
         "b  ab    "},
        {65001, "\"ab\",\"cd\"", "ab  cd    "},
        {65001, "\"aæø\",\"ééé\"", "a\xC3\xA6 \xC3\xA9\xC3\xA9\xC3\xA9"}, // whole characters
        {65001, "\"abcdæ\",\"x\"", "abcdx     "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("code page " + std::to_string(c.codepage) + ", row " + c.row);
        testutil::TempDir dir;
        auto w = NewDbf(dir, c.codepage);
        w->StartHeader(2, otNone);
        w->AddField("a", gfChar, 4, 0);
        w->AddField("b", gfChar, 6, 0);
        for (int i = 0; i < 3; ++i)
            w->AddObject(0, false, c.row);
        w->Close();
        const std::string bytes = testutil::ReadFileBytes(dir / "table.dbf");
        ASSERT_EQ(bytes.size(), 97u + 3 * 11 + 1);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(bytes.substr(97 + 11 * i, 11), " " + c.record) << "record " << i;
    }
}

// Text fields of every width a grid uses and around them, each value shorter than,
// as long as and longer than its field, through each way a record is built: a table
// of one text field (the grids' own), of two, and a value that needs converting.
TEST(DbfFields, TextOfAnyLengthIsCutOrPaddedToItsWidth) {
    for (const int width : {1, 7, 8, 9, 16, 20, 31, 32, 33, 40, 254}) {
        for (const int length : {0, 1, 7, 8, 9, width - 1, width, width + 5}) {
            if (length < 0)
                continue;
            std::string value;
            for (int i = 0; i < length; ++i)
                value += static_cast<char>('a' + i % 26);
            const std::string stored =
                value.substr(0, static_cast<size_t>(width)) +
                std::string(static_cast<size_t>(std::max(0, width - length)), ' ');
            SCOPED_TRACE("width " + std::to_string(width) + ", length " + std::to_string(length));
            for (const int fields : {1, 2}) {
                testutil::TempDir dir;
                auto w = NewDbf(dir);
                w->StartHeader(fields, otNone);
                w->AddField("a", gfChar, static_cast<uint8_t>(width), 0);
                if (fields == 2)
                    w->AddField("b", gfChar, 3, 0);
                const std::string second = fields == 2 ? ",\"\xC3\x86\"" : ""; // Æ: converted
                w->AddObject(0, false, "\"" + value + "\"" + (fields == 2 ? ",\"x\"" : ""));
                w->AddObject(0, false, "\"" + value + "\"" + second);
                w->Close();
                const std::string bytes = testutil::ReadFileBytes(dir / "table.dbf");
                const size_t record = 1 + static_cast<size_t>(width) + (fields == 2 ? 3 : 0);
                const size_t start = 32 * static_cast<size_t>(fields) + 33;
                ASSERT_EQ(bytes.size(), start + 2 * record + 1);
                EXPECT_EQ(bytes.substr(start, record), " " + stored + (fields == 2 ? "x  " : ""));
                if (fields == 2) {
                    EXPECT_EQ(bytes.substr(start + record, record), " " + stored + "\xC6  ");
                }
            }
        }
    }
}

TEST(DbfFields, PointsGiveRecordsInFilesOfEveryKind) {
    for (TObjectTypes kind : {otPline, otRegion, otPoint, otNone}) {
        testutil::TempDir dir;
        auto w = NewDbf(dir);
        w->StartHeader(1, kind);
        w->AddField("n", gfInteger, 0, 0);
        w->AddPoint(1, 2, "1");
        w->AddPoint2(TFloatPoint{3, 4}, "2");
        EXPECT_EQ(w->WrittenRecords(), 2);
        w->Close();
        const auto table = ReadDbf(dir / "table.dbf");
        ASSERT_EQ(table.rows.size(), 2u);
        EXPECT_EQ(table.rows[1][0], "2");
    }
}

// A rejected row used to leave its deletion flag behind while the counters grew,
// shifting every later record; now nothing of it reaches the table.
TEST(DbfFields, RowWithWrongNumberOfValuesLeavesTheTableIntact) {
    testutil::TempDir dir;
    auto w = NewDbf(dir);
    w->StartHeader(2, otNone);
    w->AddField("a", gfChar, 4, 0);
    w->AddField("b", gfChar, 4, 0);
    w->AddObject(0, false, "x,y");
    EXPECT_THROW(w->AddObject(0, false, "only"), Exception);
    w->AddObject(0, false, "z,w");
    EXPECT_EQ(w->WrittenRecords(), 2);
    w->Close();
    const auto table = ReadDbf(dir / "table.dbf");
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(table.rows[1], (std::vector<std::string>{"z", "w"}));
    EXPECT_EQ(testutil::ReadFileBytes(dir / "table.dbf").size(), 97u + 2 * 9 + 1);
}

TEST(DbfFields, SchemaThatTheHeaderCannotHoldIsRejectedBeforeAnyFile) {
    testutil::TempDir dir;
    auto w = NewDbf(dir);
    EXPECT_THROW(w->StartHeader(2047, otNone), Exception);
    EXPECT_FALSE(Exists(dir / "table.dbf"));

    // A field that would make the record longer than 65535 bytes is refused and not
    // counted, so a narrower one can take its place.
    auto wide = NewDbf(dir);
    wide->StartHeader(259, otNone);
    for (int i = 0; i < 258; ++i)
        wide->AddField("f" + std::to_string(i), gfChar, 254, 0);
    EXPECT_THROW(wide->AddField("over", gfChar, 254, 0), Exception);
    EXPECT_EQ(wide->FieldInfo()[259].Name, "");
    wide->AddField("last", gfChar, 2, 0);
    wide->Close();
    const auto table = ReadDbf(dir / "table.dbf");
    ASSERT_EQ(table.fields.size(), 259u);
    EXPECT_EQ(table.fields[258].name, "last");
    uint16_t recordLength = 0;
    std::memcpy(&recordLength, testutil::ReadFileBytes(dir / "table.dbf").data() + 10, 2);
    EXPECT_EQ(recordLength, 65535);
}

// ---- Read back by shapelib and GDAL ----------------------------------------------

TEST(DbfReaders, ShapelibAndGdalReadTypesWidthsAndValues) {
    testutil::TempDir dir;
    auto w = NewDbf(dir);
    w->StartHeader(7, otNone);
    w->AddField("Navn", gfChar, 20, 0);
    w->AddField("Antal", gfInteger, 0, 0);
    w->AddField("Lille", gfSmallInt, 0, 0);
    w->AddField("Areal", gfDecimal, 12, 3);
    w->AddField("Faktor", gfFloat, 0, 0);
    w->AddField("Dato", gfDate, 0, 0);
    w->AddField("Aktiv", gfLogical, 0, 0);
    w->AddObject(0, false, "\"Ærø Å\",42,-7,1234.5,0.25,20240131,Y");
    w->AddObject(0, false, "\"Øster\",0,0,-0.125,1e3,bad,n");
    w->Close();

    const auto table = ReadDbf(dir / "table.dbf");
    ASSERT_EQ(table.fields.size(), 7u);
    const std::vector<std::tuple<std::string, char, int, int>> fields = {
        {"Navn", 'C', 20, 0},   {"Antal", 'N', 11, 0}, {"Lille", 'N', 6, 0}, {"Areal", 'N', 12, 3},
        {"Faktor", 'N', 20, 8}, {"Dato", 'D', 8, 0},   {"Aktiv", 'L', 1, 0}};
    for (size_t i = 0; i < fields.size(); ++i) {
        const auto& [name, type, width, decimals] = fields[i];
        EXPECT_EQ(table.fields[i].name, name);
        EXPECT_EQ(table.fields[i].type, type);
        EXPECT_EQ(table.fields[i].width, width);
        EXPECT_EQ(table.fields[i].decimals, decimals);
    }
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(table.rows[0][0], "\xC6r\xF8 \xC5"); // shapelib gives the code page's bytes
    EXPECT_EQ(table.rows[0][1], "42");
    EXPECT_EQ(table.rows[0][3], "1234.500");
    EXPECT_EQ(table.rows[0][6], "T");
    EXPECT_EQ(table.languageDriver, 0x03);

    const auto layer = ReadWithOgr(dir / "table.dbf");
    ASSERT_EQ(layer.featureCount, 2);
    EXPECT_EQ(layer.fields[0].type, OFTString);
    EXPECT_EQ(layer.fields[3].type, OFTReal);
    EXPECT_EQ(layer.fields[3].precision, 3);
    EXPECT_EQ(layer.fields[5].type, OFTDate);
    EXPECT_EQ(layer.features[0].values[0], "Ærø Å"); // decoded through code page 1252
    EXPECT_EQ(layer.features[0].values[2], "-7");
    EXPECT_EQ(layer.features[0].values[3], "1234.500");
    EXPECT_EQ(layer.features[0].values[4], "0.25000000");
    EXPECT_EQ(layer.features[0].values[5], "2024/01/31");
    EXPECT_EQ(layer.features[0].values[6], "T");
    EXPECT_EQ(layer.features[1].values[0], "Øster");
    EXPECT_EQ(layer.features[1].values[3], "-0.125");
    EXPECT_EQ(layer.features[1].values[4], "1000.00000000");
    EXPECT_FALSE(layer.features[1].isSet[5]); // a blank date is no date
    EXPECT_EQ(layer.features[1].values[6], "F");
}

} // namespace
