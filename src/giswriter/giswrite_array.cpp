// TGISWriteArray: the objects in memory, as a TGISArray for a calling program:
// one record per object with its typed attribute values and a point array per
// part, and the box of every point stored. No files.

#include "giswrite_text.h"
#include "giswrite_array.h"

#include <algorithm>
#include <cmath>

namespace pwnet {

namespace {

// Whole-number digits of v[From, From + Count); -1 when one is not a digit.
int32_t Digits(std::string_view v, size_t From, size_t Count) {
    int32_t n = 0;
    for (size_t i = From; i < From + Count; ++i) {
        if (v[i] < '0' || v[i] > '9')
            return -1;
        n = n * 10 + (v[i] - '0');
    }
    return n;
}

bool ReadDate(std::string_view v, std::chrono::year_month_day& Date) {
    if (v.size() != 8)
        return false;
    const int32_t y = Digits(v, 0, 4), m = Digits(v, 4, 2), d = Digits(v, 6, 2);
    if (y < 0 || m < 0 || d < 0)
        return false;
    Date = std::chrono::year{y} / std::chrono::month{static_cast<unsigned>(m)} /
           std::chrono::day{static_cast<unsigned>(d)};
    return Date.ok();
}

bool ReadTime(std::string_view v, std::chrono::milliseconds& Time) {
    if (v.size() != 9)
        return false;
    const int32_t h = Digits(v, 0, 2), m = Digits(v, 2, 2), s = Digits(v, 4, 2),
                  ms = Digits(v, 6, 3);
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59 || ms < 0)
        return false;
    Time = std::chrono::milliseconds{((h * 60 + m) * 60 + s) * 1000 + ms};
    return true;
}

// An integer as the platform's conversion reads one: an optional sign and digits.
int64_t ReadInteger(const std::string& v) {
    size_t p = 0;
    const bool negative = !v.empty() && v[0] == '-';
    if (!v.empty() && (v[0] == '-' || v[0] == '+'))
        p = 1;
    if (p == v.size())
        throw Exception("'" + v + "' is not a valid integer value");
    uint64_t n = 0;
    for (; p < v.size(); ++p) {
        if (v[p] < '0' || v[p] > '9' || n > (uint64_t{1} << 63) / 10)
            throw Exception("'" + v + "' is not a valid integer value");
        n = n * 10 + static_cast<uint64_t>(v[p] - '0');
    }
    if (n > (uint64_t{1} << 63) - (negative ? 0 : 1))
        throw Exception("'" + v + "' is not a valid integer value");
    return negative ? static_cast<int64_t>(0 - n) : static_cast<int64_t>(n);
}

TFloatRect EmptyRect() {
    return TFloatRect{UnsetCoordinate, UnsetCoordinate, -UnsetCoordinate, -UnsetCoordinate};
}

} // namespace

void TGISArray::Clear() {
    Rec.clear();
    Field.clear();
    RecCount = 0;
}

TGISWriteArray::TGISWriteArray() : FResult(std::make_unique<TGISArray>()) {
    GISarray = FResult.get();
}

TGISWriteArray::~TGISWriteArray() {
    GISarray = nullptr;
}

void TGISWriteArray::DoStartHeader() {
    FResult->Clear();
    FResult->Field.resize(static_cast<size_t>(FNumFields));
    FResult->OT = FObjectTypes;
    FResult->MBR = EmptyRect();
}

void TGISWriteArray::DoAddField() {
    FResult->Field[static_cast<size_t>(FWrittenFields) - 1] = FFieldInfo[FWrittenFields];
}

// The row's values are converted before the record is added, so a rejected row
// leaves no record behind.
TRec& TGISWriteArray::NewRecord(std::string_view Attrib) {
    SplitAttrib(Attrib);
    FValues.resize(static_cast<size_t>(FNumFields));
    for (int32_t k = 1; k <= FNumFields; ++k) {
        const std::string& v = FSL[k - 1];
        TGISValue& value = FValues[k - 1];
        switch (FFieldInfo[k].FieldType) {
        case gfChar:
            value = v;
            break;
        case gfDecimal:
        case gfFloat:
            value = ReadDecimal(v);
            break;
        case gfInteger:
        case gfSmallInt:
            value = ReadInteger(v);
            break;
        case gfDate: {
            std::chrono::year_month_day date;
            value = ReadDate(v, date) ? TGISValue(date) : TGISValue();
            break;
        }
        case gfTime: {
            std::chrono::milliseconds time;
            value = ReadTime(v, time) ? TGISValue(time) : TGISValue();
            break;
        }
        case gfDateTime: {
            std::chrono::year_month_day date;
            std::chrono::milliseconds time;
            if (v.size() == 17 && ReadDate(std::string_view(v).substr(0, 8), date) &&
                ReadTime(std::string_view(v).substr(8), time))
                value = std::chrono::local_days{date} + time;
            else
                value = TGISValue();
            break;
        }
        case gfLogical:
            value = LogicalIsTrue(v);
            break;
        }
    }

    TGISArray& a = *FResult;
    ++a.RecCount;
    const auto length = static_cast<int64_t>(a.Rec.size());
    if (a.RecCount >= length - 1) {
        // Halves round to even, as the platform's Round does.
        const auto grow = std::max<int64_t>(
            50, static_cast<int64_t>(std::nearbyint(0.3 * static_cast<double>(length - 1))));
        a.Rec.resize(static_cast<size_t>(length - 1 + grow));
    }
    ++FWrittenRecords;
    TRec& rec = a.Rec[static_cast<size_t>(a.RecCount) - 1];
    rec.Attr = FValues;
    rec.Coord.clear();
    return rec;
}

void TGISWriteArray::GrowMBR(const TFloatPoint& P) {
    TFloatRect& r = FResult->MBR;
    r.xmin = std::min(r.xmin, P.x);
    r.ymin = std::min(r.ymin, P.y);
    r.xmax = std::max(r.xmax, P.x);
    r.ymax = std::max(r.ymax, P.y);
}

void TGISWriteArray::BeginObject(int32_t NumParts, std::string_view Attrib) {
    TGISWrite::BeginObject(NumParts, Attrib);
    TRec& rec = NewRecord(Attrib);
    rec.Coord.resize(static_cast<size_t>(std::max(0, NumParts)));
    Fpartsindex = -1;
    FObjectStartMBR = FResult->MBR;
}

void TGISWriteArray::WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) {
    TGISWrite::WriteSection(Index, SegList);
    TRec& rec = FResult->Rec[static_cast<size_t>(FResult->RecCount) - 1];
    ++Fpartsindex;
    rec.Coord[Fpartsindex].assign(SegList.Pnt.begin(), SegList.Pnt.begin() + SegList.Count);
    for (int32_t i = 0; i < SegList.Count; ++i)
        GrowMBR(SegList.Pnt[i]);
}

// An object whose parts did not all arrive keeps its values but no geometry.
void TGISWriteArray::AbandonObject() {
    TGISWrite::AbandonObject();
    FResult->Rec[static_cast<size_t>(FResult->RecCount) - 1].Coord.clear();
    FResult->MBR = FObjectStartMBR;
}

void TGISWriteArray::DoAddPoint(double X, double Y, std::string_view Attrib) {
    if (FObjectTypes != otPoint)
        return;
    TRec& rec = NewRecord(Attrib);
    rec.Coord.assign(1, TFloatPointArray{TFloatPoint{X, Y}});
    GrowMBR(TFloatPoint{X, Y});
}

void TGISWriteArray::DoDrop() {
    FResult->Clear();
}

} // namespace pwnet
