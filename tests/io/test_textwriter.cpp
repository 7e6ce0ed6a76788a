#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "errors.h"
#include "pwnet_textfilewriter.h"
#include "temp_dir.h"

using namespace pwnet;
using testutil::ReadFileBytes;
using testutil::TempDir;

struct TextCase {
    const char* name;
    uint16_t codepage;
    bool bom;
    const char* text; // UTF-8
    std::string bytes;
};

class TextWriterEncoding : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextWriterEncoding, WritelnGivesTheseBytes) {
    const auto& c = GetParam();
    TempDir dir;
    std::string name = dir / "t.txt";
    {
        TTextFileWriter w(name, c.codepage, c.bom);
        w.writeln(c.text);
    }
    EXPECT_EQ(ReadFileBytes(name), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, TextWriterEncoding,
    ::testing::Values(
        TextCase{"utf8_bom_empty_line", 65001, true, "", std::string("\xEF\xBB\xBF\r\n")},
        TextCase{"cp1252_never_bom", 1252, true, "", std::string("\r\n")},
        TextCase{"cp1252_danish", 1252, false, "\xC3\x86r\xC3\xB8", std::string("\xC6r\xF8\r\n")},
        TextCase{"utf8_danish", 65001, false, "\xC3\x86r\xC3\xB8",
                 std::string("\xC3\x86r\xC3\xB8\r\n")},
        TextCase{"cp1252_greek_becomes_default", 1252, false, "a\xCE\xB1" "b",
                 std::string("a?b\r\n")},
        // Code page 437 has no o-slash; the Nordic 865 has it.
        TextCase{"cp437_danish", 437, false, "\xC3\xA6\xC3\xB8\xC3\xA5", std::string("\x91?\x86\r\n")},
        TextCase{"cp865_danish", 865, false, "\xC3\xA6\xC3\xB8\xC3\xA5", std::string("\x91\x9B\x86\r\n")},
        TextCase{"cp1252_euro_sign", 1252, false, "\xE2\x82\xAC", std::string("\x80\r\n")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextWriter, WriteAppendsWithoutLineEnd) {
    TempDir dir;
    std::string name = dir / "t.txt";
    {
        TTextFileWriter w(name, 1252, false);
        w.write("Version 300");
        w.write("");
        w.writeln("");
        w.write("Charset \"WindowsLatin1\"");
    }
    EXPECT_EQ(ReadFileBytes(name), "Version 300\r\nCharset \"WindowsLatin1\"");
}

// Numbers and keywords are copied as they are where the code page keeps ASCII;
// where it does not (UTF-16), they are converted as any text.
TEST(TextWriter, AsciiTextIsWrittenAsWriteWritesIt) {
    struct Case {
        uint16_t codepage;
        std::string bytes;
    };
    const Case cases[] = {
        {1252, "Region 1\r\n-4.5 6"},
        {65001, "Region 1\r\n-4.5 6"},
        {437, "Region 1\r\n-4.5 6"},
        {1200, std::string("R\0e\0g\0i\0o\0n\0 \0"
                           "1\0\r\n-\0"
                           "4\0.\0"
                           "5\0 \0"
                           "6\0",
                           30)},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::string name = dir / "t.txt";
        {
            TTextFileWriter w(name, c.codepage, false);
            w.writeAscii("Region 1");
            w.writeln("");
            w.writeAscii("");
            w.writeAscii("-4.5 6");
        }
        EXPECT_EQ(ReadFileBytes(name), c.bytes) << "code page " << c.codepage;
    }
}

TEST(TextWriter, CloseReportsAFullDisk) {
    TTextFileWriter w("/dev/full", 1252, false);
    w.writeln("Data");
    try {
        w.Close();
        FAIL() << "a full disk went unnoticed";
    } catch (const EWriteError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
    }
    EXPECT_NO_THROW(w.Close()) << "a second Close does nothing";
}

TEST(TextWriter, CannotCreateRaisesAndLeavesNoFile) {
    TempDir dir;
    std::string name = dir / "no/folder/t.mif";
    EXPECT_THROW(TTextFileWriter(name, 1252, false), EFCreateError);
    EXPECT_FALSE(std::filesystem::exists(name));
    std::string locked = testutil::UnwritableFolder(dir) + "/t.mif";
    EXPECT_THROW(TTextFileWriter(locked, 65001, true), EFCreateError);
}

TEST(TextWriter, LargeOutputCrossesTheWindow) {
    TempDir dir;
    std::string name = dir / "big.txt";
    std::string line(99, 'x'); // 101 bytes with CR LF
    {
        TTextFileWriter w(name, 65001, false);
        for (int i = 0; i < 30000; ++i) w.writeln(line);
        w.Close();
    }
    EXPECT_EQ(std::filesystem::file_size(name), 30000u * 101u);
}
