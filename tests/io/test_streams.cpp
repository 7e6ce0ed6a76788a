#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "errors.h"
#include "faults.h"
#include "pwnet_io.h"
#include "temp_dir.h"

using namespace pwnet;
using testutil::OpenFdCount;
using testutil::ReadFileBytes;
using testutil::TempDir;

namespace {

std::unique_ptr<TPWBufferedStream> Buffered(const std::string& name, uint16_t mode = fmCreate) {
    return std::make_unique<TPWBufferedStream>(std::make_unique<TPWFileStream>(name, mode));
}

} // namespace

// ---- typed transfers -------------------------------------------------------

TEST(TypedTransfers, WriteLittleEndianBytes) {
    TempDir dir;
    std::string name = dir / "t.bin";
    {
        TPWFileStream s(name, fmCreate);
        s.WriteUInt16(0x0A0D);
        s.WriteUInt32(9994);
        s.WriteDouble(1.0);
        s.WriteByte(0xAB);
        s.WriteInt16(-2);
        s.WriteInt32(-1);
        s.WriteInt64(0x0102030405060708LL);
        s.WriteSingle(1.0f);
    }
    std::string expected("\x0D\x0A"
                         "\x0A\x27\x00\x00"
                         "\x00\x00\x00\x00\x00\x00\xF0\x3F"
                         "\xAB"
                         "\xFE\xFF"
                         "\xFF\xFF\xFF\xFF"
                         "\x08\x07\x06\x05\x04\x03\x02\x01"
                         "\x00\x00\x80\x3F",
                         2 + 4 + 8 + 1 + 2 + 4 + 8 + 4);
    EXPECT_EQ(ReadFileBytes(name), expected);
}

TEST(TypedTransfers, ReadBackEveryWidth) {
    TempDir dir;
    std::string name = dir / "t.bin";
    {
        auto s = Buffered(name);
        s->WriteByte(200);
        s->WriteUInt16(65000);
        s->WriteInt16(-300);
        s->WriteUInt32(4000000000u);
        s->WriteInt32(-70000);
        s->WriteInt64(-5000000000LL);
        s->WriteSingle(2.5f);
        s->WriteDouble(-6180000.125);
    }
    TPWFileStream s(name, fmOpenRead);
    EXPECT_EQ(s.ReadByte(), 200);
    EXPECT_EQ(s.ReadUInt16(), 65000);
    EXPECT_EQ(s.ReadInt16(), -300);
    EXPECT_EQ(s.ReadUInt32(), 4000000000u);
    EXPECT_EQ(s.ReadInt32(), -70000);
    EXPECT_EQ(s.ReadInt64(), -5000000000LL);
    EXPECT_EQ(s.ReadSingle(), 2.5f);
    EXPECT_EQ(s.ReadDouble(), -6180000.125);
    EXPECT_EQ(s.Read(nullptr, 0), 0);
    uint8_t b;
    EXPECT_EQ(s.Read(&b, 1), 0) << "reading at the end gives 0";
}

TEST(ReadString, ExactSizeDecodedFromAnsi) {
    TempDir dir;
    std::string name = dir / "s.bin";
    {
        TPWFileStream s(name, fmCreate);
        s.WriteBuffer("K\xF8" "ge1", 5); // "Køge1" in code page 1252
        s.WriteByte('X');
    }
    TPWFileStream s(name, fmOpenRead);
    EXPECT_EQ(s.ReadString(0), "");
    EXPECT_EQ(s.ReadString(5), "K\xC3\xB8ge1");
    s.SetPosition(0);
    EXPECT_THROW(
        {
            try {
                s.ReadString(7);
            } catch (const EReadError& e) {
                EXPECT_STREQ(e.what(), "Stream read error");
                throw;
            }
        },
        EReadError);
}

// ---- file stream -------------------------------------------------------------

TEST(FileStream, SeekPastEndThenWriteZeroFillsTheGap) {
    TempDir dir;
    std::string name = dir / "gap.bin";
    {
        TPWFileStream s(name, fmCreate);
        s.WriteUInt32(0xFFFFFFFF);
        EXPECT_EQ(s.Seek(29, soBeginning), 29);
        s.WriteByte(7);
    }
    std::string bytes = ReadFileBytes(name);
    ASSERT_EQ(bytes.size(), 30u);
    EXPECT_EQ(bytes.substr(4, 25), std::string(25, '\0'));
    EXPECT_EQ(bytes[29], 7);
}

TEST(FileStream, CreateTruncatesAndCreateNewRefusesExisting) {
    TempDir dir;
    std::string name = dir / "f.bin";
    { TPWFileStream(name, fmCreate).WriteUInt32(1); }
    { TPWFileStream s(name, fmCreate); EXPECT_EQ(s.Size(), 0); }
    EXPECT_THROW(TPWFileStream(name, 0xFF04), EFCreateError) << "create-new on an existing file";
    std::string fresh = dir / "new.bin";
    EXPECT_NO_THROW(TPWFileStream(fresh, 0xFF04));
    EXPECT_TRUE(std::filesystem::exists(fresh));
    EXPECT_EQ(TPWFileStream(fresh, fmOpenRead).FileName(), fresh);
}

TEST(FileStream, AccessBitsOfTheOpenForm) {
    TempDir dir;
    std::string name = dir / "f.bin";
    { TPWFileStream(name, fmCreate).WriteUInt32(0x01020304); }
    {
        TPWFileStream ro(name, fmOpenRead | fmShareDenyNone);
        EXPECT_EQ(ro.Write("x", 1), 0) << "a read-only handle cannot write";
        EXPECT_EQ(ro.ReadUInt32(), 0x01020304u);
    }
    {
        TPWFileStream wo(name, fmOpenWrite);
        uint8_t b;
        EXPECT_EQ(wo.Read(&b, 1), 0) << "a write-only handle cannot read";
        EXPECT_EQ(wo.Write("z", 1), 1);
    }
    TPWFileStream rw(name, fmOpenReadWrite);
    EXPECT_EQ(rw.ReadByte(), 'z');
}

struct BadMode {
    const char* what;
    uint16_t mode;
    bool creates;
};

class InvalidModes : public ::testing::TestWithParam<BadMode> {};

TEST_P(InvalidModes, FailWithoutTouchingTheDisk) {
    TempDir dir;
    std::string name = dir / "m.bin";
    if (!GetParam().creates) { TPWFileStream(name, fmCreate).WriteByte(1); }
    if (GetParam().creates)
        EXPECT_THROW(TPWFileStream(name, GetParam().mode), EFCreateError);
    else
        EXPECT_THROW(TPWFileStream(name, GetParam().mode), EFOpenError);
    EXPECT_EQ(std::filesystem::exists(name), !GetParam().creates);
}

INSTANTIATE_TEST_SUITE_P(Modes, InvalidModes,
                         ::testing::Values(BadMode{"access 3", 0x0003, false},
                                           BadMode{"open sharing 5", 0x0052, false},
                                           BadMode{"create sharing 5", 0xFF50, true},
                                           BadMode{"create sharing F", 0xFFF0, true}),
                         [](const auto& info) {
                             std::string n = info.param.what;
                             for (auto& c : n) if (c == ' ') c = '_';
                             return n;
                         });

TEST(FileStream, ErrorsNameTheFullPathAndTheReason) {
    TempDir dir;
    std::filesystem::current_path(dir.path());
    try {
        TPWFileStream("missing/x.shp", fmCreate);
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        std::string expected =
            "Cannot create file \"" + (dir.path() / "missing/x.shp").string() +
            "\". No such file or directory";
        EXPECT_EQ(e.what(), expected);
    }
    try {
        TPWFileStream("nothere.xml", 2);
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        std::string expected = "Cannot open file \"" + (dir.path() / "nothere.xml").string() +
                               "\". No such file or directory";
        EXPECT_EQ(e.what(), expected);
    }
    std::string locked = testutil::UnwritableFolder(dir) + "/x.dbf";
    EXPECT_THROW(TPWFileStream(locked, fmCreate), EFCreateError);
    std::filesystem::current_path("/");
}

TEST(FileStream, FailedConstructorsLeakNoHandle) {
    TempDir dir;
    int before = OpenFdCount();
    for (int i = 0; i < 50; ++i) {
        EXPECT_THROW(TPWFileStream(dir / "no/such/folder", fmCreate), EFCreateError);
        EXPECT_THROW(Buffered(dir / "no/such/folder"), EFCreateError);
        EXPECT_THROW(TPWFileStream(dir / "missing", fmOpenRead), EFOpenError);
    }
    EXPECT_EQ(OpenFdCount(), before);
}

TEST(HandleStream, SetSizeTruncatesAndFailureRaisesOSError) {
    TempDir dir;
    std::string name = dir / "h.bin";
    {
        TPWFileStream s(name, fmCreate);
        s.WriteInt64(1);
        s.SetSize(3);
        EXPECT_EQ(s.Position(), 3);
        EXPECT_EQ(s.Size(), 3);
    }
    EXPECT_EQ(std::filesystem::file_size(name), 3u);
    int fd = ::open(name.c_str(), O_RDONLY);
    {
        TPWHandleStream ro(fd);
        EXPECT_THROW(ro.SetSize(1), EOSError);
    }
    // A plain handle stream does not own its handle.
    EXPECT_EQ(::close(fd), 0);
}

TEST(Seek, InvalidTargetsAndOrigins) {
    TempDir dir;
    TPWFileStream s(dir / "s.bin", fmCreate);
    s.WriteInt32(5);
    EXPECT_EQ(s.Seek(-1, soBeginning), -1);
    EXPECT_EQ(s.Position(), 4);
    EXPECT_EQ(s.Seek(0, static_cast<TSeekOrigin>(3)), -1);
    auto b = Buffered(dir / "b.bin");
    EXPECT_EQ(b->Seek(-1, soBeginning), -1);
    EXPECT_EQ(b->Seek(0, static_cast<TSeekOrigin>(3)), -1);
    EXPECT_EQ(b->Position(), 0);
}

// ---- disk full -------------------------------------------------------------

TEST(DiskFull, WriteBufferAndFlushRaiseStreamWriteError) {
    TPWFileStream full("/dev/full", fmOpenWrite);
    EXPECT_EQ(full.Write("abc", 3), 0);
    try {
        full.WriteBuffer("abc", 3);
        FAIL();
    } catch (const EWriteError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
    }
    TPWBufferedStream b(std::make_unique<TPWFileStream>("/dev/full", fmOpenWrite));
    b.WriteUInt32(1);
    EXPECT_THROW(b.Flush(), EWriteError);
    // The dirty extent stays, so the bytes are still pending.
    EXPECT_EQ(b.GetBufferedSize(), 4);
    // Moving the window has to write them back first, and fails the same way.
    b.SetPosition(3 << 20);
    EXPECT_THROW(b.WriteUInt32(2), EWriteError);
}

// ---- buffered stream --------------------------------------------------------

TEST(BufferedStream, SmallWriteReachesTheFileAtDestruction) {
    TempDir dir;
    std::string name = dir / "b.bin";
    {
        auto s = Buffered(name);
        s->Write("abc", 3);
        EXPECT_EQ(s->Size(), 3);
        EXPECT_EQ(s->Position(), 3) << "Size must not move the position";
        EXPECT_EQ(std::filesystem::file_size(name), 0u) << "nothing written inside the window";
    }
    EXPECT_EQ(ReadFileBytes(name), "abc");
}

TEST(BufferedStream, RewritingTheHeaderAfterTwoMiBKeepsTheData) {
    TempDir dir;
    std::string name = dir / "b.bin";
    std::vector<uint8_t> data(2 << 20);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    {
        auto s = Buffered(name);
        for (size_t i = 0; i < data.size(); i += 4096) s->Write(&data[i], 4096);
        s->SetPosition(0);
        std::string header(100, 'H');
        s->Write(header.data(), 100);
    }
    std::string bytes = ReadFileBytes(name);
    ASSERT_EQ(bytes.size(), data.size());
    EXPECT_EQ(bytes.substr(0, 100), std::string(100, 'H'));
    EXPECT_EQ(0, std::memcmp(bytes.data() + 100, data.data() + 100, data.size() - 100));
}

TEST(BufferedStream, SeekFromEndCountsUnflushedBytes) {
    TempDir dir;
    auto s = Buffered(dir / "b.bin");
    s->Write("0123456789", 10);
    EXPECT_EQ(s->Seek(-4, soEnd), 6);
    EXPECT_EQ(s->Seek(2, soCurrent), 8);
    EXPECT_EQ(s->ReadUInt16(), ('9' << 8) | '8');
}

TEST(BufferedStream, ReadsAcrossWindowsAndStopsAtTheEnd) {
    TempDir dir;
    std::string name = dir / "r.bin";
    std::string content(3 * 1048576 + 17, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i % 251);
    { TPWFileStream(name, fmCreate).WriteBuffer(content.data(), static_cast<int32_t>(content.size())); }
    TPWBufferedStream s(std::make_unique<TPWFileStream>(name, fmOpenRead));
    std::string got(content.size() + 100, '\0');
    EXPECT_EQ(s.Read(got.data(), static_cast<int32_t>(got.size())), static_cast<int32_t>(content.size()));
    got.resize(content.size());
    EXPECT_EQ(got, content);
    uint8_t b;
    EXPECT_EQ(s.Read(&b, 1), 0);
}

TEST(BufferedStream, OpensAtTheInnerPositionAndPatchesInPlace) {
    TempDir dir;
    std::string name = dir / "p.xml";
    { TPWFileStream(name, fmCreate).WriteBuffer("<box>XXXXXXXX</box>", 19); }
    auto inner = std::make_unique<TPWFileStream>(name, 2);
    inner->SetPosition(5);
    {
        TPWBufferedStream s(std::move(inner));
        EXPECT_EQ(s.Position(), 5);
        EXPECT_EQ(s.Size(), 19);
        s.Write("12345678", 8);
    }
    EXPECT_EQ(ReadFileBytes(name), "<box>12345678</box>");
}

TEST(BufferedStream, SetSizeCutsTheWindow) {
    TempDir dir;
    std::string name = dir / "z.bin";
    {
        auto s = Buffered(name);
        s->Write("0123456789", 10);
        s->SetSize(4);
        EXPECT_EQ(s->Position(), 4);
        EXPECT_EQ(s->Size(), 4);
        s->Write("ab", 2);
    }
    EXPECT_EQ(ReadFileBytes(name), "0123ab");
}

TEST(BufferedStream, DecoratorWithoutInnerStreamIsEmpty) {
    TPWBufferedStream s(nullptr, false);
    uint8_t b;
    EXPECT_EQ(s.Read(&b, 1), 0);
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Write("ab", 2), 2);
    EXPECT_EQ(s.Size(), 2) << "the logical size counts the unflushed bytes";
    EXPECT_NO_THROW(s.Flush());
}

TEST(BufferedStream, NotOwnedInnerStreamSurvives) {
    TempDir dir;
    TPWFileStream inner(dir / "o.bin", fmCreate);
    {
        TPWBufferedStream s(&inner, false);
        s.WriteUInt32(42);
    }
    inner.SetPosition(0);
    EXPECT_EQ(inner.ReadUInt32(), 42u);
}

// The buffered stream must be indistinguishable from the plain file stream it
// wraps: a fixed random mix of typed writes, block writes, seeks, reads and size
// queries, with windows small enough to move often, leaves the same file and
// reports the same positions and values.
TEST(BufferedStream, BehavesLikeThePlainStreamUnderMixedOperations) {
    TempDir dir;
    std::string plainName = dir / "plain.bin", bufferedName = dir / "buffered.bin";
    for (int32_t window : {1048576, 64, 7}) {
        TPWFileStream plain(plainName, fmCreate);
        auto buffered = Buffered(bufferedName);
        buffered->SetBufferSize(window);
        uint32_t seed = 12345;
        auto next = [&seed](uint32_t n) {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 8) % n;
        };
        for (int step = 0; step < 4000; ++step) {
            uint32_t op = next(10);
            if (op < 5) {
                int32_t v = static_cast<int32_t>(next(1u << 30));
                plain.WriteInt32(v);
                buffered->WriteInt32(v);
                plain.WriteDouble(v * 0.5);
                buffered->WriteDouble(v * 0.5);
            } else if (op == 5) {
                char block[37];
                for (auto& c : block) c = static_cast<char>(next(256));
                plain.WriteBuffer(block, sizeof block);
                buffered->WriteBuffer(block, sizeof block);
            } else if (op == 6) {
                int64_t size = plain.Size();
                int64_t to = size > 0 ? next(static_cast<uint32_t>(size)) : 0;
                EXPECT_EQ(buffered->Seek(to, soBeginning), plain.Seek(to, soBeginning));
            } else if (op == 7) {
                uint8_t a = 0, b = 0;
                EXPECT_EQ(buffered->Read(&a, 1), plain.Read(&b, 1));
                EXPECT_EQ(a, b) << "step " << step;
            } else if (op == 8) {
                EXPECT_EQ(buffered->Size(), plain.Size()) << "step " << step;
                EXPECT_EQ(buffered->Position(), plain.Position()) << "step " << step;
            } else {
                plain.WriteUInt16(0x0A0D);
                buffered->WriteUInt16(0x0A0D);
                plain.WriteByte(static_cast<uint8_t>(step));
                buffered->WriteByte(static_cast<uint8_t>(step));
            }
        }
        EXPECT_EQ(buffered->Position(), plain.Position());
        buffered->Flush();
        buffered.reset();
        EXPECT_EQ(ReadFileBytes(bufferedName), ReadFileBytes(plainName)) << "window " << window;
    }
}

// Regression: a window reloaded near the end of the file keeps a former window's
// bytes beyond the valid ones; a write further on in that window must not carry
// them into the file. The skipped bytes read back as zero, as with a file stream.
TEST(BufferedStream, BytesSkippedInAReloadedWindowAreZero) {
    TempDir dir;
    std::string name = dir / "gap.bin";
    const int32_t window = 1048576;
    {
        auto s = Buffered(name);
        std::string fill(window + window / 2, 'a');
        s->WriteBuffer(fill.data(), static_cast<int32_t>(fill.size()));
        s->SetPosition(0);
        s->WriteByte('b');           // the window returns to 0, full of 'a'
        s->SetPosition(fill.size()); // the end: a window with no valid bytes
        s->WriteByte('c');
        s->SetPosition(fill.size() + 100); // 99 bytes skipped inside that window
        s->WriteByte('d');
    }
    std::string bytes = ReadFileBytes(name);
    const size_t end = window + window / 2;
    ASSERT_EQ(bytes.size(), end + 101);
    EXPECT_EQ(bytes[0], 'b');
    EXPECT_EQ(bytes[end], 'c');
    EXPECT_EQ(bytes.substr(end + 1, 99), std::string(99, '\0'));
    EXPECT_EQ(bytes[end + 100], 'd');
}

// Regression: a read past the end reloads the window there; the size must stay
// that of the file, not grow to the window's start.
TEST(BufferedStream, ReadingPastTheEndKeepsTheSize) {
    TempDir dir;
    auto s = Buffered(dir / "s.bin");
    s->Write("0123456789", 10);
    s->SetPosition(20);
    uint8_t b = 0;
    EXPECT_EQ(s->Read(&b, 1), 0);
    EXPECT_EQ(s->Size(), 10);
    EXPECT_EQ(s->Position(), 20);
}

// Append and Claim, the writers' copies into the window, against the plain file
// stream: a fixed random mix with block writes, seeks (also past the end), reads
// and size queries, under windows small enough to move often and a record larger
// than the smallest window, leaves the same file and the same positions.
TEST(BufferedStream, AppendAndClaimBehaveLikeThePlainStream) {
    TempDir dir;
    std::string plainName = dir / "plain.bin", bufferedName = dir / "buffered.bin";
    for (int32_t window : {1048576, 64, 7}) {
        TPWFileStream plain(plainName, fmCreate);
        auto buffered = Buffered(bufferedName);
        buffered->SetBufferSize(window);
        uint32_t seed = 54321;
        auto next = [&seed](uint32_t n) {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 8) % n;
        };
        for (int step = 0; step < 4000; ++step) {
            const uint32_t op = next(8);
            char block[45];
            const auto n = static_cast<int32_t>(1 + next(sizeof block));
            for (int32_t i = 0; i < n; ++i)
                block[i] = static_cast<char>(next(256));
            if (op < 3) {
                plain.WriteBuffer(block, n);
                buffered->Append(block, n);
            } else if (op < 5) {
                plain.WriteBuffer(block, n);
                if (uint8_t* room = buffered->Claim(n))
                    std::memcpy(room, block, static_cast<size_t>(n));
                else
                    buffered->Append(block, n);
            } else if (op == 5) {
                const int64_t to = next(static_cast<uint32_t>(plain.Size() + 50));
                EXPECT_EQ(buffered->Seek(to, soBeginning), plain.Seek(to, soBeginning));
            } else if (op == 6) {
                uint8_t a = 0, b = 0;
                EXPECT_EQ(buffered->Read(&a, 1), plain.Read(&b, 1));
                EXPECT_EQ(a, b) << "window " << window << ", step " << step;
            } else {
                EXPECT_EQ(buffered->Size(), plain.Size())
                    << "window " << window << ", step " << step;
                EXPECT_EQ(buffered->Position(), plain.Position())
                    << "window " << window << ", step " << step;
            }
        }
        EXPECT_EQ(buffered->Position(), plain.Position());
        buffered->Flush();
        buffered.reset();
        EXPECT_EQ(ReadFileBytes(bufferedName), ReadFileBytes(plainName)) << "window " << window;
    }
}
