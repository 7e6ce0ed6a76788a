// TGISWrite: the calling protocol, attribute splitting, ring checks, merging of
// touching polyline sections and great-circle densification shared by all formats.

#include "giswrite_base.h"

#include "giswrite_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

namespace pwnet {

namespace {

constexpr bool IsBlank(char c) {
    return c >= 1 && c <= 32;
}

constexpr double Pi = 3.141592653589793;
constexpr double TwoPi = 6.283185307179586;
constexpr double DegToRad = 0.017453292519943295;
constexpr double RadToDeg = 57.29577951308232;

// Holds an argument of arcsin/arccos to [-1, 1]; a value that is not below 1,
// NaN included, counts as 1.
double ClampUnit(double v) {
    if (!(v < 1))
        return 1;
    if (v < -1)
        return -1;
    return v;
}

} // namespace

// Runs one public operation with this output's files current (a format creating a
// file then creates it as the output's temporary); a write error that escapes it is
// remembered, so that Close can refuse to present the output as complete.
template <typename F> void TGISWrite::Guarded(F&& f) {
    TOutputScope scope(FOutput.get());
    try {
        f();
    } catch (const EWriteError& e) {
        if (!FWriteFailure)
            FWriteFailure = std::make_unique<EWriteError>(e);
        throw;
    }
}

TGISWrite::TGISWrite()
    : FCodepage(GetSystemAnsiCodePage()), FEncoding(std::make_unique<TCodePageEncoder>(FCodepage)) {
    FLine.Pnt.resize(2);
    FLine.Count = 2;
    FPoint.Pnt.resize(1);
    FPoint.Count = 1;
}

TGISWrite::~TGISWrite() {
    // The formats' destructors have closed their handles by now; an output that was
    // never closed is removed rather than left looking complete.
    if (Fopen)
        DeleteOutputFiles();
}

// ---------------------------------------------------------------------------
// Properties

void TGISWrite::SetCodepage(uint16_t Value) {
    if (Fopen)
        throw Exception("Can not change the Codepage property while the output is open.");
    auto encoding = std::make_unique<TCodePageEncoder>(Value);
    FCodepage = Value;
    FEncoding = std::move(encoding);
}

void TGISWrite::SetOptimizePLinesSections(bool Value) {
    if (Value != FOptimizePLinesSections && FNumParts != FWrittenParts)
        throw Exception(
            "Can not change the OptimizePLinesSections property during processing sections.");
    FOptimizePLinesSections = Value;
}

// ---------------------------------------------------------------------------
// Protocol checks

inline void TGISWrite::CheckOpen() const {
    if (!Fopen)
        throw Exception("The output is not open: StartHeader must come first");
}

inline void TGISWrite::CheckReadyForObject() {
    CheckOpen();
    if (FWrittenFields < FNumFields)
        throw Exception("All fields must be declared before the first object");
    FinishIncompleteObject();
}

void TGISWrite::FinishIncompleteObject() {
    if (FWrittenParts >= FNumParts)
        return;
    if (FDeferredObject) {
        // Nothing of a deferred object reached the format; the segment table is
        // simply reused from its start.
        if (FFreeIndex >= 0) {
            FFreeItems = static_cast<int32_t>(FSegments.size());
            FFreeIndex = 0;
        }
    } else {
        AbandonObject();
    }
    FDeferredObject = false;
    FNumParts = 0;
    FWrittenParts = 0;
}

// Ring checks and the section's own consistency, before anything is written.
inline void TGISWrite::CheckSection(const TFloatPointArrayEx& SegList) const {
    CheckOpen();
    if (FWrittenParts >= FNumParts)
        throw Exception("No object is waiting for a section: AddObject announced fewer parts");
    if (SegList.Count < 0 || static_cast<size_t>(SegList.Count) > SegList.Pnt.size())
        throw ERangeError();
    if (FObjectTypes == otRegion) {
        if (SegList.Count <= 3)
            throw Exception("Region objects must have >=4 points");
        // Exact comparison of the numbers; a NaN never closes a ring.
        if (SegList.Pnt[SegList.Count - 1] != SegList.Pnt[0])
            throw Exception("Region objects must be closed");
    }
    if (SegList.Count == 0)
        throw Exception("A section must hold at least one point");
}

// ---------------------------------------------------------------------------
// Public operations

void TGISWrite::StartHeader(int32_t NumFields, TObjectTypes ObjectTypes) {
    if (FStarted)
        throw Exception("StartHeader may be called only once per writer");
    if (NumFields < 0)
        throw ERangeError();
    if (ObjectTypes > otNone)
        throw ERangeError();
    FStarted = true;
    FNumFields = NumFields;
    FObjectTypes = ObjectTypes;
    FWrittenFields = 0;
    FFieldInfo.assign(static_cast<size_t>(NumFields) + 1, TFieldInfo{});
    Fopen = true;
    FOutput = std::make_unique<TOutputFiles>(FileName);
    try {
        TOutputScope scope(FOutput.get());
        DoStartHeader();
    } catch (...) {
        AbandonOutput();
        throw;
    }
}

void TGISWrite::AddField(const std::string& FieldName, TGISField Field, uint8_t Width,
                         uint8_t decimals) {
    CheckOpen();
    if (FWrittenFields >= FNumFields)
        throw Exception("More fields than StartHeader announced");
    if (Field > gfDateTime)
        throw ERangeError();
    ++FWrittenFields;
    FFieldInfo[FWrittenFields] = TFieldInfo{Field, Width, decimals, FieldName};
    try {
        Guarded([&] { DoAddField(); });
    } catch (const EFCreateError&) {
        AbandonOutput();
        throw;
    } catch (...) {
        // The format refused the field: it is not declared, another may take its place.
        FFieldInfo[FWrittenFields] = TFieldInfo{};
        --FWrittenFields;
        throw;
    }
}

void TGISWrite::AddObject(int32_t NumParts, bool multiPolygon, std::string_view Attrib) {
    Guarded([&] {
        CheckReadyForObject();
        if (NumParts < 0)
            NumParts = 0;
        FmultiPolygon = multiPolygon;
        if (IsDeferred(NumParts)) {
            FDeferredObject = true;
            FNumParts = NumParts;
            FOptimizedParts = NumParts;
            FWrittenParts = 0;
            BeginOptimizedObject(NumParts, Attrib);
        } else {
            StartObject(NumParts, Attrib);
        }
    });
}

void TGISWrite::StartObject(int32_t NumParts, std::string_view Attrib) {
    FDeferredObject = false;
    FNumParts = NumParts;
    FWrittenParts = 0;
    try {
        BeginObject(NumParts, Attrib);
    } catch (...) {
        // The format refused the object before writing it (its row was rejected):
        // there is no object in progress to finish later.
        FNumParts = 0;
        FWrittenParts = 0;
        throw;
    }
}

inline void TGISWrite::AddSectionUnchecked(int32_t Index, TFloatPointArrayEx& SegList) {
    if (!FDeferredObject) {
        if (GreatCircleDist > 0)
            DensifySection(SegList);
        ++FWrittenParts;
        WriteSection(Index, SegList);
        return;
    }
    CollectSection(SegList);
    if (FWrittenParts < FNumParts)
        return;
    // The last announced section arrived: the merged object reaches the format.
    const int32_t parts = FOptimizedParts;
    StartObject(parts, FAttrib);
    for (int32_t i = 0; i < parts; ++i) {
        DensifySection(FSegments[i]);
        ++FWrittenParts;
        WriteSection(0, FSegments[i]);
    }
    FFreeItems = static_cast<int32_t>(FSegments.size());
    FFreeIndex = 0;
}

void TGISWrite::AddSection(int32_t Index, TFloatPointArrayEx& SegList) {
    Guarded([&] {
        CheckSection(SegList);
        AddSectionUnchecked(Index, SegList);
    });
}

void TGISWrite::AddSection1(int32_t Index, const TFloatPointArrayEx2& SegList, bool swapdirection) {
    const int64_t last = SegList.Last;
    if (last < -1 || static_cast<uint64_t>(last + 1) > SegList.Pnt.size())
        throw ERangeError();
    const auto n = static_cast<int32_t>(last + 1);
    if (FSection1.Pnt.size() < static_cast<size_t>(n))
        FSection1.Pnt.resize(n);
    for (int32_t i = 0; i < n; ++i)
        FSection1.Pnt[i] = SegList.Pnt[swapdirection ? n - 1 - i : i];
    FSection1.Count = n;
    AddSection(Index, FSection1);
}

void TGISWrite::AddSection2(int32_t Index, double X1, double Y1, double X2, double Y2) {
    FLine.Pnt[0] = TFloatPoint{X1, Y1};
    FLine.Pnt[1] = TFloatPoint{X2, Y2};
    FLine.Count = 2;
    AddSection(Index, FLine);
}

void TGISWrite::AddSection3(int32_t Index, const TFloatPoint& P1, const TFloatPoint& P2) {
    AddSection2(Index, P1.x, P1.y, P2.x, P2.y);
}

// How many leading parts of the run CheckSection takes as the parts of one-part
// objects.
int32_t TGISWrite::AcceptedParts(const TOnePartObjects& Objects) const {
    const int32_t n = Objects.PointsPerPart;
    if (n <= 0 || !Objects.Points)
        return 0;
    if (FObjectTypes != otRegion)
        return Objects.Count;
    if (n <= 3)
        return 0;
    const TFloatPoint* part = Objects.Points;
    for (int32_t k = 0; k < Objects.Count; ++k, part += n)
        if (part[n - 1] != part[0])
            return k;
    return Objects.Count;
}

// The part of the run the format takes in one go; 0 wherever one of the checks of
// AddObject or AddSection would speak, or densification would change the parts.
int32_t TGISWrite::WriteRun(const TOnePartObjects& Objects) {
    if (!Fopen || FWrittenFields < FNumFields || GreatCircleDist > 0)
        return 0;
    TOnePartObjects run = Objects;
    run.Count = AcceptedParts(Objects);
    if (run.Count == 0)
        return 0;
    FinishIncompleteObject();
    FmultiPolygon = false;
    FDeferredObject = false;
    FNumParts = 0;
    FWrittenParts = 0;
    const int32_t written = WriteOnePartObjects(run);
    if (written > 0)
        FNumParts = FWrittenParts = 1; // as after the last object's section
    return written;
}

void TGISWrite::AddOnePartObjects(const TOnePartObjects& Objects) {
    if (Objects.Count > 0 && (!Objects.Rows || (Objects.PointsPerPart > 0 && !Objects.Points)))
        throw ERangeError();
    int32_t written = 0;
    Guarded([&] { written = WriteRun(Objects); });
    const auto n = static_cast<size_t>(std::max(Objects.PointsPerPart, 0));
    if (FRunPart.Pnt.size() < n)
        FRunPart.Pnt.resize(n);
    for (int32_t k = written; k < Objects.Count; ++k) {
        AddObject(1, false, Objects.Rows[k]);
        std::copy_n(Objects.Points + static_cast<size_t>(k) * n, n, FRunPart.Pnt.begin());
        FRunPart.Count = static_cast<int32_t>(n);
        AddSection(0, FRunPart);
    }
}

void TGISWrite::AddLine(double X1, double Y1, double X2, double Y2, std::string_view Attrib) {
    Guarded([&] {
        CheckReadyForObject();
        DoAddLine(TFloatPoint{X1, Y1}, TFloatPoint{X2, Y2}, Attrib);
    });
}

void TGISWrite::AddLine2(const TFloatPoint& P1, const TFloatPoint& P2, std::string_view Attrib) {
    AddLine(P1.x, P1.y, P2.x, P2.y, Attrib);
}

void TGISWrite::DoAddLine(const TFloatPoint& P1, const TFloatPoint& P2, std::string_view Attrib) {
    if (FObjectTypes != otPline)
        return;
    FmultiPolygon = false;
    StartObject(1, Attrib);
    FLine.Pnt[0] = P1;
    FLine.Pnt[1] = P2;
    FLine.Count = 2;
    AddSection(0, FLine);
}

void TGISWrite::AddPoint(double X, double Y, std::string_view Attrib) {
    Guarded([&] {
        CheckReadyForObject();
        DoAddPoint(X, Y, Attrib);
    });
}

void TGISWrite::AddPoint2(const TFloatPoint& P, std::string_view Attrib) {
    AddPoint(P.x, P.y, Attrib);
}

void TGISWrite::Close() {
    if (!Fopen) {
        FFieldInfo.clear();
        return;
    }
    try {
        if (FWriteFailure)
            throw EWriteError(*FWriteFailure);
        if (FWrittenFields < FNumFields)
            throw Exception("All fields must be declared before the output is closed");
        {
            TOutputScope scope(FOutput.get());
            FinishIncompleteObject();
            DoClose();
        }
        // Only a finished output takes the final names.
        FOutput->Commit();
    } catch (...) {
        // Whatever failed, the files are not complete: they go, as with Drop.
        AbandonOutput();
        FFieldInfo.clear();
        throw;
    }
    Fopen = false;
    FFieldInfo.clear();
}

void TGISWrite::Drop() {
    if (Fopen) {
        AbandonOutput();
        FFieldInfo.clear();
    } else {
        DeleteOutputFiles();
    }
    DoDrop();
}

void TGISWrite::AbandonOutput() noexcept {
    ReleaseFiles();
    DeleteOutputFiles();
    Fopen = false;
    FNumParts = 0;
    FWrittenParts = 0;
}

void TGISWrite::DeleteOutputFiles() noexcept {
    for (const std::string& path : FOutputFiles) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    FOutputFiles.clear();
    if (FOutput)
        FOutput->RemoveFiles();
}

void TGISWrite::RegisterOutputFile(const std::string& Path) {
    if (FOutput && FOutput->TemporaryOf(Path))
        return; // made as the output's temporary: it is the output's already
    FOutputFiles.push_back(Path);
}

TOutputFiles& TGISWrite::OpenOutput() {
    if (!Fopen || !FOutput)
        throw Exception("The output is not open: StartHeader must come first");
    return *FOutput;
}

std::string TGISWrite::TemporaryOutputPath(const std::string& FinalPath) {
    return OpenOutput().Reserve(FinalPath);
}

void TGISWrite::DiscardOutputFile(const std::string& FinalPath) {
    OpenOutput().Discard(FinalPath);
}

void TGISWrite::WithdrawOutputFile(const std::string& FinalPath) {
    OpenOutput().Withdraw(FinalPath);
}

// One file on its own: written under its temporary name and renamed into place once
// every byte is out, so a failure leaves an earlier file of that name as it was.
void TGISWrite::WriteSideFile(const std::string& Path, uint16_t Codepage, std::string_view Text) {
    TOutputFiles file(std::filesystem::path(Path).replace_extension().string());
    {
        TOutputScope scope(&file);
        TTextFileWriter writer(Path, Codepage, false);
        writer.write(Text);
        writer.Close();
    }
    file.Commit();
}

// ---------------------------------------------------------------------------
// Default format work

void TGISWrite::BeginOptimizedObject(int32_t NumParts, std::string_view Attrib) {
    FNumParts = NumParts;
    FOptimizedParts = NumParts;
    FAttrib.assign(Attrib);
    FWrittenParts = 0;
}

// Sections of one deferred object are collected into FSegments; a section that
// starts exactly where the segment collected just before it ends is appended to
// that segment. Only neighbours in call order are joined. The table and its point
// arrays stay allocated across objects and only grow.
void TGISWrite::CollectSection(const TFloatPointArrayEx& SegList) {
    const TFloatPoint& first = SegList.Pnt[0];
    auto joinable = [&] {
        if (FFreeIndex <= 0)
            return false;
        const TFloatPointArrayEx& prev = FSegments[FFreeIndex - 1];
        const TFloatPoint& last = prev.Pnt[prev.Count - 1];
        return first.x == last.x && first.y == last.y;
    };
    const bool join = joinable();
    if (FFreeItems == 0 && (FFreeIndex == -1 || (FFreeIndex > 0 && !join))) {
        FFreeIndex = static_cast<int32_t>(FSegments.size());
        if (FSegments.size() < static_cast<size_t>(FNumParts))
            FSegments.resize(FNumParts);
        FFreeItems = static_cast<int32_t>(FSegments.size()) - FFreeIndex;
    }
    ++FWrittenParts;
    if (join) {
        TFloatPointArrayEx& seg = FSegments[FFreeIndex - 1];
        const size_t needed = static_cast<size_t>(seg.Count) + SegList.Count - 1;
        if (seg.Pnt.size() < needed)
            seg.Pnt.resize(needed);
        std::copy(SegList.Pnt.begin() + 1, SegList.Pnt.begin() + SegList.Count,
                  seg.Pnt.begin() + seg.Count);
        seg.Count += SegList.Count - 1;
        --FOptimizedParts;
        return;
    }
    TFloatPointArrayEx& seg = FSegments[FFreeIndex];
    if (seg.Pnt.size() < static_cast<size_t>(SegList.Count))
        seg.Pnt.resize(SegList.Count);
    std::copy(SegList.Pnt.begin(), SegList.Pnt.begin() + SegList.Count, seg.Pnt.begin());
    seg.Count = SegList.Count;
    --FFreeItems;
    ++FFreeIndex;
}

// ---------------------------------------------------------------------------
// Attribute rows

// Splitting rules (no option switches them):
//  - characters 1..32 before a value are skipped;
//  - a value starting with '"' runs to the next '"' that is not doubled; a doubled
//    '"' inside stands for one; a missing closing quote ends it at the end of text;
//  - any other value runs up to the next ',' or character 1..32;
//  - after a value, characters 1..32 are skipped; a ',' is consumed with the
//    characters 1..32 after it; a ',' that ends the text adds one empty value;
//  - anything else starts the next value ("ab"cd gives ab and cd; a b gives a, b).
// A NUL character ends the text, as in the row's original zero-terminated form.
void TGISWrite::SplitAttrib(std::string_view Attrib, bool CountValues) {
    FSL.Clear();
    if (SplitPlainRow(Attrib)) {
        for (const std::string_view v : FPlainValues)
            FSL.Add().append(v); // Add gives an empty string
    } else {
        SplitAnyRow(Attrib);
    }
    if (CountValues && FSL.Count() != static_cast<size_t>(FNumFields)) {
        if (const size_t nul = Attrib.find('\0'); nul != std::string_view::npos)
            Attrib = Attrib.substr(0, nul);
        char head[96];
        std::snprintf(head, sizeof head,
                      "Number of values must match number of fields. NumVal = %zu, NumFields = %d",
                      FSL.Count(), FNumFields);
        std::string message(head);
        message.append(", string = \"").append(Attrib).append("\"");
        throw Exception(message);
    }
}

// The usual row, split without the general rules' detours: values that are either
// quoted (no doubled quote inside) or plain (no blank, no quote), separated by single
// commas, with no blank anywhere outside quotes, no NUL and no final comma. Gives
// exactly what the rules give, as views into the row in FPlainValues; false, with
// FPlainValues in any state, for every other row.
bool TGISWrite::SplitPlainRow(std::string_view Attrib) {
    FPlainValues.clear();
    const char* data = Attrib.data();
    const size_t n = Attrib.size();
    if (n == 0)
        return false;
    size_t p = 0;
    for (;;) {
        size_t start = p, end = p;
        if (p < n && data[p] == '"') {
            start = p + 1;
            end = FindFlagged(data, start, n,
                              [](uint64_t w) { return QuoteBytes(w) | ZeroBytes(w); });
            if (end == n || data[end] == '\0')
                return false; // no closing quote, or a NUL
            p = end + 1;
            if (p < n && data[p] == '"')
                return false; // a doubled quote
        } else {
            end = FindFlagged(data, p, n, [](uint64_t w) {
                return BlankBytes(w) | QuoteBytes(w) | ZeroBytes(w ^ (Ones * ','));
            });
            if (end < n && data[end] != ',')
                return false; // a blank, a control character or a quote
            p = end;
        }
        FPlainValues.emplace_back(data + start, end - start);
        if (p == n)
            return true;
        if (data[p] != ',' || p + 1 == n)
            return false;
        ++p;
    }
}

// The general rules (the comment above SplitAttrib), for any row.
void TGISWrite::SplitAnyRow(std::string_view Attrib) {
    if (const size_t nul = Attrib.find('\0'); nul != std::string_view::npos)
        Attrib = Attrib.substr(0, nul);
    const size_t n = Attrib.size();
    size_t p = 0;
    while (p < n && IsBlank(Attrib[p]))
        ++p;
    while (p < n) {
        std::string& value = FSL.Add();
        if (Attrib[p] == '"') {
            ++p;
            while (p < n) {
                if (Attrib[p] == '"') {
                    if (p + 1 < n && Attrib[p + 1] == '"') {
                        value.push_back('"');
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                const size_t start = p;
                const void* quote = std::memchr(Attrib.data() + p, '"', n - p);
                p = quote ? static_cast<size_t>(static_cast<const char*>(quote) - Attrib.data())
                          : n;
                value.append(Attrib.substr(start, p - start));
            }
        } else {
            const size_t start = p;
            while (p<n&& static_cast<unsigned char>(Attrib[p])> 32 && Attrib[p] != ',')
                ++p;
            value.assign(Attrib.substr(start, p - start));
        }
        while (p < n && IsBlank(Attrib[p]))
            ++p;
        if (p < n && Attrib[p] == ',') {
            if (p + 1 == n)
                FSL.Add();
            ++p;
            while (p < n && IsBlank(Attrib[p]))
                ++p;
        }
    }
}

// ---------------------------------------------------------------------------
// Great-circle densification

// x is longitude and y latitude in degrees. Every segment gains
// Trunc(angle * EarthRadiusKm / GreatCircleDist) points at equal angular steps
// along the great circle, so no step is longer than GreatCircleDist kilometres.
void TGISWrite::DensifySection(TFloatPointArrayEx& SegList) {
    if (!(GreatCircleDist > 0) || SegList.Count < 2)
        return;
    const int32_t count = SegList.Count;
    FDensifyCounts.resize(count - 1);
    int64_t total = 0;
    for (int32_t k = 0; k + 1 < count; ++k) {
        const double d = GreatCircleAngle(SegList.Pnt[k], SegList.Pnt[k + 1]);
        const double n = std::trunc(d * EarthRadiusKm / GreatCircleDist);
        // A spacing too small to be meant would ask for more points than a section holds.
        if (!(n >= 0) || n > std::numeric_limits<int32_t>::max() - static_cast<double>(total))
            throw ERangeError();
        FDensifyCounts[k] = static_cast<int64_t>(n);
        total += FDensifyCounts[k];
    }
    if (total == 0)
        return;
    if (total > std::numeric_limits<int32_t>::max() - count)
        throw ERangeError();
    const size_t newCount = static_cast<size_t>(count) + static_cast<size_t>(total);
    if (SegList.Pnt.size() < newCount)
        SegList.Pnt.resize(newCount);
    TFloatPoint* pts = SegList.Pnt.data();

    int64_t tk = total; // T_k = n_0 + ... + n_k for the segment being processed
    for (int32_t k = count - 2; k >= 0; --k) {
        const int64_t nk = FDensifyCounts[k];
        pts[k + 1 + tk] = pts[k + 1];
        if (nk > 0) {
            const double lam1 = pts[k].x * DegToRad, phi1 = pts[k].y * DegToRad;
            const double lam2 = pts[k + 1 + tk].x * DegToRad, phi2 = pts[k + 1 + tk].y * DegToRad;
            const double s1 = std::sin((phi1 - phi2) / 2), s2 = std::sin((lam1 - lam2) / 2);
            double a = std::sqrt(s1 * s1 + std::cos(phi1) * std::cos(phi2) * s2 * s2);
            const double t = 2 * std::asin(ClampUnit(a));
            const double v = ClampUnit((std::sin(phi2) - std::sin(phi1) * std::cos(t)) /
                                       (std::sin(t) * std::cos(phi1)));
            const double w = std::acos(v);
            const double course = std::sin(lam2 - lam1) > 0 ? TwoPi - w : w;
            for (int64_t j = 1; j <= nk; ++j) {
                const double f = t * static_cast<double>(j) / static_cast<double>(nk + 1);
                const double phi =
                    std::asin(ClampUnit(std::sin(phi1) * std::cos(f) +
                                        std::cos(phi1) * std::sin(f) * std::cos(course)));
                const double delta = std::atan2(std::sin(course) * std::sin(f) * std::cos(phi1),
                                                std::cos(f) - std::sin(phi1) * std::sin(phi));
                const double N = lam1 - delta + Pi;
                const double lam = N >= 0 ? N - std::trunc(N / TwoPi) * TwoPi - Pi
                                          : N + std::trunc(1 - N / TwoPi) * TwoPi - Pi;
                pts[k + tk - nk + j] = TFloatPoint{lam * RadToDeg, phi * RadToDeg};
            }
        }
        tk -= nk;
    }
    SegList.Count = static_cast<int32_t>(newCount);
}

} // namespace pwnet
