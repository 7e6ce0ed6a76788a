// TGISWriteMITAB: MapInfo TAB tables through the MITAB C API, bound at run time
// (mitab.h). How the library lays out ".tab", ".dat", ".map" and ".id" is its own
// business; this file fixes the calls and their order:
//
//   create (clause without its Bounds part, bounds as numbers), set_charset,
//   add_field per field; per object create_feature, set_field per value, set_pen,
//   set_brush (regions), set_points per part, write_feature, destroy_feature;
//   close.
//
// Text goes to the library 8-bit and zero-terminated in the writer's code page;
// colours in MapInfo order (0xRRGGBB).

#include "giswrite_mitab.h"

#include "mitab.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>

namespace pwnet {

namespace {

constexpr bool IsBlank(char c) {
    return c >= 1 && c <= 32;
}

// The values of Text under the attribute row's splitting rules (blanks before and
// after a value skipped, ',' separates, a value runs to the next ',' or blank, a
// quoted value to its closing quote with "" standing for one, a ',' at the very end
// adds an empty value).
std::vector<std::string> SplitValues(std::string_view Text) {
    Text = Text.substr(0, Text.find('\0'));
    std::vector<std::string> values;
    const size_t n = Text.size();
    size_t p = 0;
    while (p < n && IsBlank(Text[p]))
        ++p;
    while (p < n) {
        std::string& value = values.emplace_back();
        if (Text[p] == '"') {
            for (++p; p < n; ++p) {
                if (Text[p] == '"') {
                    if (p + 1 < n && Text[p + 1] == '"') {
                        value.push_back('"');
                        ++p;
                        continue;
                    }
                    ++p;
                    break;
                }
                value.push_back(Text[p]);
            }
        } else {
            while (p < n && !IsBlank(Text[p]) && Text[p] != ',')
                value.push_back(Text[p++]);
        }
        while (p < n && IsBlank(Text[p]))
            ++p;
        if (p < n && Text[p] == ',') {
            if (p + 1 == n)
                values.emplace_back();
            ++p;
            while (p < n && IsBlank(Text[p]))
                ++p;
        }
    }
    return values;
}

// A decimal number as the dBASE writer reads numbers: leading blanks, an optional
// sign, digits with an optional '.' and exponent; reading stops at the first other
// character. An empty, non-numeric or out-of-range text gives 0.
double ReadDecimal(std::string_view s) {
    size_t p = 0;
    while (p < s.size() && IsBlank(s[p]))
        ++p;
    bool negative = false;
    if (p < s.size() && (s[p] == '+' || s[p] == '-'))
        negative = s[p++] == '-';
    if (p == s.size() || !((s[p] >= '0' && s[p] <= '9') || s[p] == '.'))
        return 0; // no "inf" or "nan" either
    double value = 0;
    const auto [end, ec] = std::from_chars(s.data() + p, s.data() + s.size(), value);
    if (ec != std::errc() || value == 0)
        return 0;
    return negative ? -value : value;
}

std::string Upper(std::string_view s) {
    std::string u(s);
    for (char& c : u)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return u;
}

// The MITAB feature type of an object.
int FeatureType(TObjectTypes Kind, int32_t NumParts) {
    if (NumParts == 0)
        return TABFC_NoGeom;
    switch (Kind) {
    case otPline:
        return TABFC_Polyline;
    case otPoint:
        return TABFC_Point;
    default:
        return TABFC_Region;
    }
}

int MapInfoColour(uint32_t WindowsColour) {
    return static_cast<int>(ColorToMapInfo(WindowsColour));
}

// The files MITAB makes for a table, the ".tab" first.
constexpr const char* TableFiles[] = {".tab", ".map", ".dat", ".id"};

using LastErrorNoFn = int (*)();
using LastErrorMsgFn = const char* (*)();

} // namespace

// MITAB's last error (mitab_c_getlasterrorno and _msg), where the library has them.
TGISWriteMITAB::TLibraryError TGISWriteMITAB::LibraryError() const {
    const auto number =
        reinterpret_cast<LastErrorNoFn>(FMitab.EntryPoint("mitab_c_getlasterrorno"));
    const auto message =
        reinterpret_cast<LastErrorMsgFn>(FMitab.EntryPoint("mitab_c_getlasterrormsg"));
    TLibraryError e;
    if (number)
        e.Number = number();
    if (message)
        if (const char* text = message())
            e.Message = text;
    return e;
}

// A write error on the table: ".tab" stands for its files, the library's message for
// the reason, in which the table goes by its final name.
EWriteError TGISWriteMITAB::TableWriteError(std::string Reason) const {
    if (Reason.empty())
        Reason = "MITAB did not take the object";
    const std::string final = FullPath(FileName + ".tab");
    for (size_t at;
         !FTemporaryTable.empty() && (at = Reason.find(FTemporaryTable)) != std::string::npos;)
        Reason.replace(at, FTemporaryTable.size(), final);
    return EWriteError("Stream write error", final, Reason);
}

TGISWriteMITAB::TGISWriteMITAB() : TGISWriteMITAB(Mitab()) {}

TGISWriteMITAB::TGISWriteMITAB(const TMitabBinding& Binding) : FMitab(Binding) {}

TGISWriteMITAB::~TGISWriteMITAB() {
    // A table never closed is closed here; the base then removes its files.
    ReleaseFiles();
}

// ---------------------------------------------------------------------------
// Opening

void TGISWriteMITAB::DoStartHeader() {
    TGISWrite::DoStartHeader();
    FMH = nullptr;
    if (!FMitab.CanWriteTables())
        return; // no library: the output stays inert
    CreateTable();
}

void TGISWriteMITAB::CreateTable() {
    const std::string tab = FileName + ".tab";
    std::string clause = CoordSys;
    double north = 0, south = 0, east = 0, west = 0;
    if (const size_t at = Upper(CoordSys).find("BOUNDS"); at != std::string::npos) {
        // "Bounds (x1, y1) (x2, y2)": the parentheses become separators, so the values
        // are the word Bounds and the four numbers.
        std::string bounds = CoordSys.substr(at);
        std::replace(bounds.begin(), bounds.end(), '(', ',');
        std::replace(bounds.begin(), bounds.end(), ')', ' ');
        const std::vector<std::string> values = SplitValues(bounds);
        if (values.size() < 5)
            throw Exception("The Bounds of a CoordSys clause need two corners: \"" +
                            CoordSys.substr(at) + "\"");
        west = ReadDecimal(values[1]);
        south = ReadDecimal(values[2]);
        east = ReadDecimal(values[3]);
        north = ReadDecimal(values[4]);
        clause.resize(at); // a blank before the word stays
    }
    const std::string coordSys = FEncoding->Encode(clause);
    // The library writes the table under the temporary names of its files, which it
    // derives from the ".tab"'s as it derives the final ones. A name that is taken
    // (a folder in the place of a file, a link) leaves the output inert, as a table
    // the library cannot create does.
    std::string temporary;
    try {
        temporary = TemporaryOutputPath(tab);
        for (const char* ext : TableFiles)
            TemporaryOutputPath(FileName + ext);
    } catch (const EFCreateError&) {
        DiscardTableFiles();
        return;
    }
    // File names are bytes on Linux: the name goes as it is (UTF-8).
    FTemporaryTable = temporary;
    FMH = FMitab.create(temporary.c_str(), "tab", coordSys.c_str(), north, south, east, west);
    if (!FMH) {
        DiscardTableFiles(); // the library cannot create the table: the output stays inert
        return;
    }
    FTableCreated = true;
    FMitab.set_charset(FMH, CodePageName(FCodepage).c_str());
}

void TGISWriteMITAB::DiscardTableFiles() {
    for (const char* ext : TableFiles)
        DiscardOutputFile(FileName + ext);
}

// ---------------------------------------------------------------------------
// Fields and objects

void TGISWriteMITAB::DoAddField() {
    TGISWrite::DoAddField();
    TFieldInfo& field = FFieldInfo[FWrittenFields];
    if (field.Width == 255)
        field.Width = 254;
    if (!FMH)
        return;
    FText.clear();
    FEncoding->EncodeTo(field.Name, FText);
    // MITAB's type codes are the field type's ordinal plus 1 (1 char ... 9 date-time).
    FMitab.add_field(FMH, FText.c_str(), static_cast<int>(field.FieldType) + 1, field.Width,
                     field.decimals, 0, 0);
}

void TGISWriteMITAB::SetFields() {
    for (size_t k = 0; k < FSL.Count(); ++k) {
        const std::string& value = FSL[k];
        FText.clear();
        if (FFieldInfo[k + 1].FieldType == gfLogical && LogicalIsTrue(value))
            FText = "T";
        else
            FEncoding->EncodeTo(value, FText);
        FMitab.set_field(FFH, static_cast<int>(k), FText.c_str());
    }
}

// Hands the finished feature to the table and releases it. A feature the library
// does not take would be a cell missing from a table that looks complete: that is
// a write error, which makes Close remove the output.
void TGISWriteMITAB::WriteFeature() {
    const int written = FMitab.write_feature(FMH, FFH);
    FMitab.destroy_feature(FFH);
    FFH = nullptr;
    if (!written)
        throw TableWriteError(LibraryError().Message);
}

void TGISWriteMITAB::BeginObject(int32_t NumParts, std::string_view Attrib) {
    if (FObjectTypes == otRegion && NumParts > MaxRegionParts)
        throw Exception("No more than " + std::to_string(MaxRegionParts) + " parts");
    TGISWrite::BeginObject(NumParts, Attrib);
    if (!FMH)
        return;
    SplitAttrib(Attrib); // a rejected row creates no feature
    if (FObjectTypes == otNone)
        NumParts = 0; // a table without geometry: attributes only
    FFH = FMitab.create_feature(FMH, FeatureType(FObjectTypes, NumParts));
    if (!FFH)
        throw TableWriteError(LibraryError().Message); // the object would go missing
    ++FWrittenRecords;
    SetFields();
    if (Pen.Width < 8 || Pen.Width > 10)
        FMitab.set_pen(FFH, Pen.Width, Pen.pattern, MapInfoColour(Pen.Color));
    if (FObjectTypes == otRegion)
        FMitab.set_brush(FFH, MapInfoColour(Brush.fg_color), MapInfoColour(Brush.bg_color),
                         Brush.pattern, 1);
    if (FObjectTypes == otPoint && NumParts > 0)
        FMitab.set_symbol(FFH, Symbol.Shape, Symbol.Size, MapInfoColour(Symbol.Color));
    if (NumParts == 0)
        WriteFeature();
}

void TGISWriteMITAB::WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) {
    TGISWrite::WriteSection(Index, SegList);
    if (!FMH || FObjectTypes == otNone || !FFH)
        return;
    const auto count = static_cast<size_t>(SegList.Count);
    if (FX.size() < count) {
        FX.resize(count);
        FY.resize(count);
    }
    for (size_t i = 0; i < count; ++i) {
        FX[i] = SegList.Pnt[i].x;
        FY[i] = SegList.Pnt[i].y;
    }
    // Parts are numbered from 0; a negative Index in a region file makes the number
    // negative, which MITAB reads as a new polygon rather than a hole.
    int32_t part = FWrittenParts - 1;
    if (Index < 0 && FObjectTypes == otRegion)
        part = -part;
    FMitab.set_points(FFH, part, SegList.Count, FX.data(), FY.data());
    if (FWrittenParts == FNumParts)
        WriteFeature();
}

void TGISWriteMITAB::DoAddPoint(double X, double Y, std::string_view Attrib) {
    if (FObjectTypes != otPoint || !FMH)
        return;
    StartObject(1, Attrib);
    if (FFH) {
        FMitab.set_points(FFH, 0, 1, &X, &Y);
        WriteFeature();
    }
    FWrittenParts = FNumParts; // the point was the object's one part
}

// An object that ended before all its parts arrived keeps its row, without the
// geometry it never completed.
void TGISWriteMITAB::AbandonObject() {
    TGISWrite::AbandonObject();
    if (!FFH)
        return;
    FMitab.destroy_feature(FFH);
    FFH = FMitab.create_feature(FMH, TABFC_NoGeom);
    if (!FFH)
        throw TableWriteError(LibraryError().Message);
    SetFields();
    WriteFeature();
}

// ---------------------------------------------------------------------------
// Closing

void TGISWriteMITAB::DoClose() {
    TGISWrite::DoClose();
    if (!FMH)
        return;
    FX = TDoubleArray();
    FY = TDoubleArray();
    // The library completes the files only now (a full disk shows here) and tells of
    // a failure through its last error, which a successful close leaves as it found.
    const TLibraryError before = LibraryError();
    FMitab.close(FMH);
    FMH = nullptr;
    const TLibraryError after = LibraryError();
    if (after.Number != 0 && (after.Number != before.Number || after.Message != before.Message))
        throw TableWriteError(after.Message);
    if (FObjectTypes == otNone) {
        // A table without geometry keeps only ".tab" and ".dat".
        WithdrawOutputFile(FileName + ".map");
        WithdrawOutputFile(FileName + ".id");
    }
}

void TGISWriteMITAB::ReleaseFiles() noexcept {
    TGISWrite::ReleaseFiles();
    if (FFH)
        FMitab.destroy_feature(FFH);
    FFH = nullptr;
    if (FMH)
        FMitab.close(FMH);
    FMH = nullptr;
}

} // namespace pwnet
