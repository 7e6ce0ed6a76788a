// TGISWriteDBF: the dBASE III table, one record per object.
//
// Layout (little-endian): a 32-byte header (version 0x03, date of the day the
// table was started, record count, header length 32 * fields + 33, record length,
// language driver byte at 29), one 32-byte descriptor per field (name of at most
// 10 bytes, type letter, width, decimals), the terminator 0x0D, then the records
// (deletion flag 0x20 and the fields, each exactly its width) and the end byte 0x1A.

#include "giswrite_dbf.h"

#include "giswrite_text.h"

#include <cstring>
#include <ctime>

namespace pwnet {

namespace {

// Decodes one UTF-8 character at s[p] and advances p; a stray byte counts as one
// character of that byte's value.
uint32_t NextCodePoint(std::string_view s, size_t& p) {
    const auto b = static_cast<unsigned char>(s[p]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || p + len > s.size()) {
        ++p;
        return b;
    }
    uint32_t cp = len == 1 ? b : b & (0x7F >> len);
    for (int i = 1; i < len; ++i) {
        const auto c = static_cast<unsigned char>(s[p + i]);
        if ((c & 0xC0) != 0x80) {
            ++p;
            return b;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    p += len;
    return cp;
}

// Stores the first Width characters of a value, one byte each (the low byte of the
// character's code), right-aligned with spaces on the left.
void PutRightAligned(std::string_view value, uint8_t Width, char* dest) {
    const size_t chars = std::min<size_t>(Utf8Length(value), Width);
    const size_t pad = Width - chars;
    std::memset(dest, ' ', pad);
    size_t p = 0;
    for (size_t i = 0; i < chars; ++i)
        dest[pad + i] = static_cast<char>(NextCodePoint(value, p) & 0xFF);
}

// A date, time or date-time of exactly Width characters, one byte each; anything
// else is stored blank.
void PutFixedLength(std::string_view value, uint8_t Width, char* dest) {
    if (Utf8Length(value) != Width) {
        std::memset(dest, ' ', Width);
        return;
    }
    size_t p = 0;
    for (size_t i = 0; i < Width; ++i)
        dest[i] = static_cast<char>(NextCodePoint(value, p) & 0xFF);
}

struct TDbfFieldType {
    char Letter;
    uint8_t Width;
    uint8_t Decimals;
};

// Type letter, width and decimals the table stores for a declared field.
TDbfFieldType StoredType(const TFieldInfo& f) {
    const uint8_t width = f.Width == 255 ? 254 : f.Width;
    switch (f.FieldType) {
    case gfChar:
        return {'C', width, 0};
    case gfInteger:
        return {'N', 11, 0};
    case gfSmallInt:
        return {'N', 6, 0};
    case gfDecimal:
        return {'N', width, f.decimals};
    case gfFloat:
        return {'N', static_cast<uint8_t>(f.Width == 0 ? 20 : width),
                static_cast<uint8_t>(f.decimals == 0 ? 8 : f.decimals)};
    case gfDate:
        return {'D', 8, 0};
    case gfLogical:
        return {'L', 1, 0};
    case gfTime:
        return {'C', 9, 0};
    case gfDateTime:
        return {'C', 17, 0};
    }
    return {'C', width, 0};
}

} // namespace

TGISWriteDBF::TGISWriteDBF() = default;
TGISWriteDBF::~TGISWriteDBF() = default;

void TGISWriteDBF::DoStartHeader() {
    // The header length is a 16-bit field: refuse a schema it cannot describe
    // before any file exists.
    if (32 * static_cast<int64_t>(FNumFields) + 33 > 0xFFFF)
        throw Exception("A dBASE table holds at most 2046 fields");
    const std::string path = FileName + ".dbf";
    FOutDBF = std::make_unique<TPWBufferedStream>(std::make_unique<TPWFileStream>(path, fmCreate));
    RegisterOutputFile(path);
    FNumRec = 0;

    const std::time_t now = std::time(nullptr);
    std::tm day{};
    localtime_r(&now, &day);
    FOutDBF->WriteByte(0x03);
    FOutDBF->WriteByte(static_cast<uint8_t>(day.tm_year % 256));
    FOutDBF->WriteByte(static_cast<uint8_t>(day.tm_mon + 1));
    FOutDBF->WriteByte(static_cast<uint8_t>(day.tm_mday));
    FOutDBF->SetPosition(8);
    FOutDBF->WriteUInt16(static_cast<uint16_t>(32 * FNumFields + 33));
    FOutDBF->SetPosition(29);
    FOutDBF->WriteByte(CodePageToLanguageDriver(FCodepage));
    FOutDBF->SetPosition(32 * (static_cast<int64_t>(FNumFields) + 1));
    FOutDBF->WriteByte(0x0D);
    FTotalWidth = 1;
    if (FNumFields == 0) {
        // No field will complete the header: the record length (the deletion flag
        // alone) is known now, and the records follow the terminator.
        FOutDBF->SetPosition(10);
        FOutDBF->WriteUInt16(FTotalWidth);
        FOutDBF->SetPosition(33);
    }
}

void TGISWriteDBF::DoAddField() {
    const int32_t k = FWrittenFields;
    TFieldInfo& field = FFieldInfo[k];
    const TDbfFieldType stored = StoredType(field);
    if (FTotalWidth + stored.Width > 0xFFFF)
        throw Exception("A dBASE record holds at most 65535 bytes");
    field.Width = stored.Width;
    field.decimals = stored.Decimals;

    uint8_t descriptor[32] = {};
    FEncoded.clear();
    FEncoding->EncodeTo(field.Name, FEncoded);
    std::memcpy(descriptor, FEncoded.data(), CutLength(FEncoded, 10, FCodepage));
    descriptor[11] = static_cast<uint8_t>(stored.Letter);
    descriptor[16] = stored.Width;
    descriptor[17] = stored.Decimals;
    FOutDBF->SetPosition(32 * static_cast<int64_t>(k));
    FOutDBF->WriteBuffer(descriptor, sizeof descriptor);
    FTotalWidth = static_cast<uint16_t>(FTotalWidth + stored.Width);

    if (k == FNumFields) {
        FTextFieldsOnly = true;
        for (int32_t i = 1; i <= FNumFields; ++i)
            FTextFieldsOnly = FTextFieldsOnly && FFieldInfo[i].FieldType == gfChar;
        FQuoted.Taken = FTextFieldsOnly && FNumFields == 1 && FEncoding->KeepsAscii();
        FQuoted.Width = FFieldInfo[1].Width;
        FQuoted.Codepage = FCodepage;
        FQuoted.HighsRefused = !FEncoding->IsIdentity();
        FOutDBF->SetPosition(10);
        FOutDBF->WriteUInt16(FTotalWidth);
        FOutDBF->SetPosition(32 * static_cast<int64_t>(FNumFields) + 33);
    }
}

void TGISWriteDBF::BeginObject(int32_t NumParts, std::string_view Attrib) {
    TGISWrite::BeginObject(NumParts, Attrib);
    WriteRecord(Attrib);
}

void TGISWriteDBF::DoAddPoint(double, double, std::string_view Attrib) {
    WriteRecord(Attrib);
}

// Text in the table's code page: its first bytes, at most Width of them, then spaces.
void TGISWriteDBF::PutCharValue(const std::string& Value, uint8_t Width, bool PassesThrough,
                                char* Dest) {
    std::string_view encoded = Value;
    if (!PassesThrough) {
        FEncoded.clear();
        FEncoding->EncodeTo(Value, FEncoded);
        encoded = FEncoded;
    }
    PutPadded(Dest, encoded.substr(0, CutLength(encoded, Width, FCodepage)), Width);
}

// Whether every text value of the row is already in the table's code page (plain
// ASCII, as grid names are): the record can then be built without converting.
bool TGISWriteDBF::CharValuesPassThrough() const {
    for (int32_t k = 1; k <= FNumFields; ++k)
        if (FFieldInfo[k].FieldType == gfChar && !FEncoding->PassesThrough(FSL[k - 1]))
            return false;
    return true;
}

// The record of the row in FSL: the deletion flag and every field at its width.
void TGISWriteDBF::FillRecord(char* Dest, bool ValuesPassThrough) {
    *Dest++ = ' ';
    for (int32_t k = 1; k <= FNumFields; ++k) {
        const TFieldInfo& field = FFieldInfo[k];
        const std::string& value = FSL[k - 1];
        const uint8_t width = field.Width;
        switch (field.FieldType) {
        case gfChar:
            PutCharValue(value, width, ValuesPassThrough, Dest);
            break;
        case gfInteger:
        case gfSmallInt:
            PutRightAligned(value, width, Dest);
            break;
        case gfDecimal:
        case gfFloat:
            FormatFixed(reinterpret_cast<uint8_t*>(Dest), width, field.decimals,
                        ReadDecimal(value));
            break;
        case gfLogical:
            Dest[0] = LogicalIsTrue(value) ? 'T' : 'F';
            break;
        default:
            PutFixedLength(value, width, Dest);
            break; // date, time, date-time
        }
        Dest += width;
    }
}

// The usual record of a grid: text fields only, a plain row of as many values, all
// in the table's code page as they are. Built from views of the row straight into
// the window; false (nothing written) for any other row or table.
bool TGISWriteDBF::WriteTextRecord(std::string_view Attrib) {
    if (FTextFieldsOnly && FNumFields == 1)
        return WriteQuotedRow(Attrib);
    if (!FTextFieldsOnly || !SplitPlainRow(Attrib) ||
        FPlainValues.size() != static_cast<size_t>(FNumFields))
        return false;
    for (const std::string_view v : FPlainValues)
        if (!FEncoding->PassesThrough(v))
            return false;
    char* dest = ClaimRecord();
    if (!dest)
        return false;
    *dest++ = ' ';
    for (int32_t k = 1; k <= FNumFields; ++k) {
        const std::string_view v = FPlainValues[k - 1];
        const uint8_t width = FFieldInfo[k].Width;
        PutPadded(dest, v.substr(0, CutLength(v, width, FCodepage)), width);
        dest += width;
    }
    return true;
}

// The row is split and counted before anything is written, so a rejected row
// leaves the table as it was. A row of text the table's code page holds as it is
// is built straight into the stream's window; any other goes through a buffer of
// its own, converted (the bytes are the same either way).
void TGISWriteDBF::WriteRecord(std::string_view Attrib) {
    if (WriteTextRecord(Attrib))
        return;
    SplitAttrib(Attrib);
    ++FNumRec;
    ++FWrittenRecords;
    if (CharValuesPassThrough()) {
        if (uint8_t* room = FOutDBF->Claim(FTotalWidth)) {
            FillRecord(reinterpret_cast<char*>(room), true);
            return;
        }
    }
    FRecord.resize(FTotalWidth);
    FillRecord(FRecord.data(), false);
    FOutDBF->WriteBuffer(FRecord.data(), static_cast<int32_t>(FRecord.size()));
}

void TGISWriteDBF::DoClose() {
    if (!FOutDBF)
        return;
    FOutDBF->WriteByte(0x1A);
    FOutDBF->SetPosition(4);
    FOutDBF->WriteUInt32(FNumRec);
    FOutDBF->Flush();
    FOutDBF.reset();
}

void TGISWriteDBF::ReleaseFiles() noexcept {
    TGISWrite::ReleaseFiles();
    FOutDBF.reset();
}

} // namespace pwnet
