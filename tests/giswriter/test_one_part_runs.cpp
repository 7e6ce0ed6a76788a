// Runs of one-part objects (AddOnePartObjects, a grid's cells in one call): every
// format writes the bytes that AddObject and AddSection write one object at a time,
// and a run that meets a refused part or row ends where, and as, those calls end.

#include "giswrite_text.h"
#include "readers.h"
#include "temp_dir.h"

#include <functional>

using namespace pwnet;
using namespace gwtest;

namespace {

struct Object {
    std::string Row;
    Part Points;
};

struct FormatCase {
    const char* Name;
    TGISFormat Format;
    uint16_t Codepage;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.Name;
}

const FormatCase Formats[] = {
    {"shp", gfSHP, 1252},   {"shp_utf8", gfSHP, 65001}, {"dbf", gfDBF, 1252},
    {"mif", gfMIF, 1252},   {"mif8", gfMIF8, 65001},    {"csv", gfCSV, 1252},
    {"gml", gfGML2, 65001}, {"kml", gfKML2, 65001},     {"geojson", gfGeoJSON, 65001},
};

// The grid's own rows: quoted identifiers of a column of 100 m cells.
std::vector<Object> Column(int32_t Count, double x = 440000, double y = 6040000) {
    std::vector<Object> cells;
    for (int32_t j = 0; j < Count; ++j)
        cells.push_back(
            {"\"100m_" + std::to_string(60400 + j) + "_4400\"", Square(x, y + 100.0 * j, 100)});
    return cells;
}

// Rows that each take another way through the formats, among the grid's own.
std::vector<Object> MixedRows() {
    std::vector<Object> cells = Column(80);
    const char* rows[] = {
        "\"\xc3\x86r\xc3\xb8\"", // not ASCII: converted for code page 1252
        "\"a\"\"b\"",            // a doubled quote inside
        "\"two\r\nlines\"",      // a line break inside
        "\"x\"",                 // shorter than the short-row paths
        "\"a value longer than the twenty bytes of its field\"",
        "plain", // not quoted
        "\"\"",  // empty
        "\"100m_60400_4400\"",
    };
    for (size_t i = 0; i < std::size(rows); ++i)
        cells[5 + 9 * i].Row = rows[i];
    return cells;
}

// Writes Objects with either call and closes the output; the message of the error
// that stopped the objects, or "" when none did.
std::string Write(TGISWrite& w, TObjectTypes Kind, const std::vector<Object>& Objects, bool AsRun) {
    w.StartHeader(1, Kind);
    w.AddField("KN100mDK", gfChar, 20, 0);
    std::string message;
    try {
        if (AsRun) {
            std::vector<TFloatPoint> points;
            std::vector<std::string_view> rows;
            for (const Object& o : Objects) {
                points.insert(points.end(), o.Points.begin(), o.Points.end());
                rows.push_back(o.Row);
            }
            const auto n = static_cast<int32_t>(Objects.empty() ? 0 : Objects[0].Points.size());
            w.AddOnePartObjects(
                {points.data(), n, rows.data(), static_cast<int32_t>(Objects.size())});
        } else {
            for (const Object& o : Objects)
                AddCell(w, o.Row, o.Points);
        }
    } catch (const std::exception& e) {
        message = e.what();
    }
    w.Close();
    return message;
}

class OnePartRuns : public ::testing::TestWithParam<FormatCase> {
protected:
    // Writes Objects both ways and expects the same files, byte for byte, and the
    // same error.
    // same error; Folder keeps the outputs of one test apart.
    void ExpectSameOutput(TObjectTypes Kind, const std::vector<Object>& Objects,
                          const std::string& ExpectedError = "", const std::string& Folder = "a") {
        const FormatCase& c = GetParam();
        std::string messages[2];
        std::filesystem::path folders[2];
        for (int asRun = 0; asRun < 2; ++asRun) {
            folders[asRun] = dirs[asRun].path() / Folder;
            std::filesystem::create_directories(folders[asRun]);
            auto w = NewWriter(c.Format, (folders[asRun] / "grid").string());
            w->SetCodepage(c.Codepage);
            messages[asRun] = Write(*w, Kind, Objects, asRun == 1);
        }
        EXPECT_EQ(messages[0], ExpectedError);
        EXPECT_EQ(messages[1], messages[0]);
        const std::set<std::string> files = testutil::FilesIn(folders[0]);
        ASSERT_FALSE(files.empty());
        EXPECT_EQ(testutil::FilesIn(folders[1]), files);
        for (const std::string& f : files)
            EXPECT_EQ(testutil::ReadFileBytes(folders[1] / f),
                      testutil::ReadFileBytes(folders[0] / f))
                << f;
    }

    testutil::TempDir dirs[2]; // one object at a time, in runs
};

TEST_P(OnePartRuns, CellsGiveTheBytesOfOneObjectAtATime) {
    // More cells than one block of the writers and across columns.
    std::vector<Object> cells = Column(150);
    for (Object& o : Column(150, 440100))
        cells.push_back(std::move(o));
    ExpectSameOutput(otRegion, cells);
}

TEST_P(OnePartRuns, RowsOfEveryKindAmongTheCells) {
    ExpectSameOutput(otRegion, MixedRows());
}

TEST_P(OnePartRuns, PolylinesOfFiveAndOfTwoPoints) {
    ExpectSameOutput(otPline, MixedRows());
    std::vector<Object> lines = Column(20);
    for (Object& o : lines)
        o.Points.resize(2);
    ExpectSameOutput(otPline, lines, "", "lines");
}

TEST_P(OnePartRuns, OpenRingStopsTheRunWhereTheObjectWouldStop) {
    std::vector<Object> cells = Column(100);
    cells[70].Points.back().x += 1;
    ExpectSameOutput(otRegion, cells, "Region objects must be closed");
}

TEST_P(OnePartRuns, RowOfTooManyValuesStopsTheRunWhereTheObjectWouldStop) {
    std::vector<Object> cells = Column(100);
    cells[66].Row = "\"a\",\"b\"";
    const FormatCase& c = GetParam();
    // The formats that split the row refuse it; the others store it as it is.
    const bool splits = c.Format != gfMIF && c.Format != gfMIF8 && c.Format != gfCSV;
    ExpectSameOutput(otRegion, cells,
                     splits ? "Number of values must match number of fields. NumVal = 2, "
                              "NumFields = 1, string = \"\"a\",\"b\"\""
                            : "");
}

INSTANTIATE_TEST_SUITE_P(Formats, OnePartRuns, ::testing::ValuesIn(Formats),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(OnePartRunsProtocol, RefusedLikeAddObjectOutsideTheProtocol) {
    testutil::TempDir dir;
    const Part ring = Square(0, 0, 1);
    const std::string_view row = "\"a\"";
    const TOnePartObjects one{ring.data(), 5, &row, 1};
    auto w = NewWriter(gfSHP, dir / "grid");
    EXPECT_THROW(w->AddOnePartObjects(one), Exception); // before StartHeader
    w->StartHeader(1, otRegion);
    EXPECT_THROW(w->AddOnePartObjects(one), Exception); // before the field
    w->AddField("a", gfChar, 5, 0);
    EXPECT_THROW(w->AddOnePartObjects({nullptr, 5, &row, 1}), ERangeError);
    EXPECT_THROW(w->AddOnePartObjects({ring.data(), 5, nullptr, 1}), ERangeError);
    w->AddOnePartObjects({nullptr, 0, nullptr, 0}); // nothing to write
    w->AddOnePartObjects(one);
    EXPECT_EQ(w->WrittenRecords(), 1);
    w->Close();
    EXPECT_EQ(ReadShp(dir / "grid.shp").shapes.size(), 1u);
}

// ---- The short-text helpers the runs rely on ---------------------------------

// Every length up to past the short paths, a flagged byte at every place: the
// answers of the sixteen-byte tests are those of the word-at-a-time test.
TEST(ShortTexts, MarkedBytesAreFoundWhereverTheyLie) {
    const auto words = [](uint64_t high, bool breaks) {
        return [=](uint64_t w) {
            return breaks ? ZeroBytes(w ^ (Ones * '\r')) | ZeroBytes(w ^ (Ones * '\n')) | (w & high)
                          : QuoteBytes(w) | ZeroBytes(w) | (w & high);
        };
    };
    for (size_t n = 0; n <= 40; ++n)
        for (int at = -1; at < static_cast<int>(n); ++at)
            for (const char mark : {'"', '\0', '\r', '\n', '\xe6'}) {
                std::string text(n, 'a');
                if (at >= 0)
                    text[static_cast<size_t>(at)] = mark;
                for (const bool high : {false, true}) {
                    const uint64_t h = high ? Highs : 0;
                    EXPECT_EQ(HasQuoteNulOrHigh(text.data(), n, high),
                              AnyFlagged(text.data(), n, words(h, false)))
                        << n << " " << at << " " << int(mark);
                    EXPECT_EQ(HasLineBreakOrHigh(text.data(), n, high),
                              AnyFlagged(text.data(), n, words(h, true)))
                        << n << " " << at << " " << int(mark);
                }
            }
}

TEST(ShortTexts, CopiesExactlyTheirBytes) {
    for (size_t n = 0; n <= 40; ++n) {
        std::string source;
        for (size_t i = 0; i < n; ++i)
            source += static_cast<char>('A' + i % 26);
        std::string dest(48, '.');
        CopyShort(dest.data() + 2, source.data(), n);
        EXPECT_EQ(dest, ".." + source + std::string(46 - n, '.')) << n;
    }
}

// The longest number texts (fifteen digits and an exponent of three) stay within
// the room the writers give them, and are FloatToStrDot's texts.
TEST(ShortTexts, LongestNumbersStayInTheirRoom) {
    for (const double v :
         {-1.23456789012345e-300, -1.23456789012345e+300, 1.5e-100, -0.000123456789012345}) {
        char buffer[MaxNumberText + 8];
        std::memset(buffer, '#', sizeof buffer);
        const char* end = PutFloat(buffer, v);
        EXPECT_EQ(std::string(static_cast<const char*>(buffer), end), FloatToStrDot(v));
        EXPECT_EQ(std::string(buffer + MaxNumberText, 8), std::string(8, '#')) << v;
        std::string appended;
        AppendFloat(appended, v);
        EXPECT_EQ(appended, FloatToStrDot(v));
    }
}

// The texts of recent values are the texts made from scratch, also for the values
// whose slots others took and for the values that never equal themselves.
TEST(ShortTexts, RecentNumbersAreTheTextsOfTheirValues) {
    TRecentNumbers numbers;
    const double values[] = {440000,
                             6040100,
                             -0.0,
                             0.0,
                             0.5,
                             1e20,
                             std::nan(""),
                             -12.25,
                             1.0 / 3,
                             -1e-7,
                             123456789012345.0,
                             -123456.789012345};
    for (int round = 0; round < 3; ++round)
        for (const double x : values)
            for (const double y : values) {
                char got[2 * TRecentNumbers::TextRoom], want[MaxNumberText];
                char* p = numbers.Put(got, x);
                const std::string first(got, p);
                p = numbers.Put(got, y);
                EXPECT_EQ(first, std::string(want, PutFloat(want, x))) << x;
                EXPECT_EQ(std::string(got, p), std::string(want, PutFloat(want, y))) << y;
                // The kept texts of up to sixteen characters are the same texts.
                TRecentNumbers::TShortText kept;
                const std::string text(want, PutFloat(want, y));
                ASSERT_EQ(numbers.Short(y, kept), text.size() <= 16) << y;
                if (text.size() <= 16)
                    EXPECT_EQ(std::string(got, TRecentNumbers::PutShort(got, kept)), text) << y;
            }
}

// The last two values of a coordinate give the texts of their values, whatever the
// order: the corners of cells, values that leave and come back, texts too long to
// keep and values that never equal themselves.
TEST(ShortTexts, RecentPairsGiveTheTextsOfTheirValues) {
    TRecentNumbers numbers;
    TRecentPair pair;
    const std::vector<double> values = {
        440000,  440000,  440100,  440100,       440000,  6040000,
        6040100, 6040100, 6040000, 6040000,      6040100, 6040200,
        440000,  -0.0,    0.0,     std::nan(""), 1.0 / 3, -1.23456789012345e-300,
        1.0 / 3, 440100,  440000};
    for (int round = 0; round < 2; ++round)
        for (const double v : values) {
            char got[2 * MaxNumberText], want[MaxNumberText];
            const std::string text(got, pair.Put(numbers, got, v));
            EXPECT_EQ(text, std::string(want, PutFloat(want, v))) << v;
        }
}

} // namespace
