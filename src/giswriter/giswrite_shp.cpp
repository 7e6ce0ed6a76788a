// TGISWriteSHP: the ESRI shapefile ".shp" (geometry), ".shx" (index), the ".dbf"
// of the dBASE writer and the side files ".prj" and ".cpg".
//
// Both ".shp" and ".shx" start with a 100-byte header: file code 9994 and the file
// length in 16-bit words big-endian, version 1000, shape type and the bounding box
// little-endian. A ".shp" record has a big-endian header (record number, content
// length in 16-bit words) and little-endian content; the ".shx" holds each record's
// offset and content length in 16-bit words, big-endian.
//
// Each record is assembled in memory and written in one piece when its object is
// complete; the bytes are those of the header-then-parts-then-points layout.

#include "giswrite_shp.h"

#include <algorithm>
#include <cstring>

namespace pwnet {

namespace {

static_assert(sizeof(TFloatPoint) == 16, "a point is stored as two doubles, x then y");

constexpr uint32_t FileCode = 9994;
constexpr uint32_t Version = 1000;

void PutBigEndian(uint8_t* dest, uint32_t v) {
    v = __builtin_bswap32(v);
    std::memcpy(dest, &v, 4);
}
template <typename T> void PutLittleEndian(uint8_t* dest, T v) {
    std::memcpy(dest, &v, sizeof v);
}

// An index entry: the record's offset and content length in 16-bit words, both
// big-endian, as one word in file order. Stored at once: two 4-byte stores read back
// as one 8-byte word on the way into the window would defeat store forwarding.
int64_t IndexEntry(uint32_t OffsetWords, uint32_t LengthWords) {
    const uint64_t entry =
        uint64_t{__builtin_bswap32(OffsetWords)} | uint64_t{__builtin_bswap32(LengthWords)} << 32;
    return static_cast<int64_t>(entry);
}

// Plain comparisons: a NaN never moves a bound. (Written as selections, which the
// compiler turns into min/max instructions with exactly these semantics.)
void GrowBox(double x, double y, double& xmin, double& ymin, double& xmax, double& ymax) {
    xmin = x < xmin ? x : xmin;
    xmax = x > xmax ? x : xmax;
    ymin = y < ymin ? y : ymin;
    ymax = y > ymax ? y : ymax;
}

// A point (x, y), or the low (xmin, ymin) or high (xmax, ymax) corner of a box, as
// one value of two lanes. Lower and Higher are GrowBox's selections lane by lane,
// which become packed minimum and maximum instructions.
using TLanes = double __attribute__((vector_size(16)));

TLanes LoadLanes(const void* p) {
    TLanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
TLanes Lower(TLanes a, TLanes b) {
    return a < b ? a : b;
}
TLanes Higher(TLanes a, TLanes b) {
    return a > b ? a : b;
}

// The bounds of a record or a file, as GrowBox keeps them: a file's grow by the
// corners of each record's box.
struct TBox {
    TLanes Low, High;
    TBox(double XMin, double YMin, double XMax, double YMax) : Low{XMin, YMin}, High{XMax, YMax} {}
    void Add(TLanes Point) {
        Low = Lower(Point, Low);
        High = Higher(Point, High);
    }
    void Grow(TLanes BoxLow, TLanes BoxHigh) {
        Low = Lower(BoxHigh, Lower(BoxLow, Low));
        High = Higher(BoxHigh, Higher(BoxLow, High));
    }
    void Unpack(double& XMin, double& YMin, double& XMax, double& YMax) const {
        XMin = Low[0], YMin = Low[1], XMax = High[0], YMax = High[1];
    }
};

// GrowBox over Count points, two lanes at a time.
void GrowBoxBy(const TFloatPoint* Points, int32_t Count, double& xmin, double& ymin, double& xmax,
               double& ymax) {
    TBox box(xmin, ymin, xmax, ymax);
    for (int32_t i = 0; i < Count; ++i)
        box.Add(LoadLanes(&Points[i]));
    box.Unpack(xmin, ymin, xmax, ymax);
}

// The record of one part of Count points at r (N points when N is not 0: a cell's
// ring, unrolled): header, box, part and points; Global grows by its box. Touches
// nothing but its arguments, so that a caller may keep its state in registers across
// the stores into the window.
template <int32_t N = 0>
[[gnu::always_inline]] inline void FillOnePartRecord(uint8_t* r, uint32_t Number, uint32_t Type,
                                                     const TFloatPoint* Points, int32_t Count,
                                                     TBox& Global) {
    const int32_t n = N != 0 ? N : Count;
    const uint64_t length = 48 + 16 * static_cast<uint64_t>(n);
    TBox box(UnsetCoordinate, UnsetCoordinate, -UnsetCoordinate, -UnsetCoordinate);
    for (int32_t i = 0; i < n; ++i)
        box.Add(LoadLanes(&Points[i]));
    PutBigEndian(r, Number);
    PutBigEndian(r + 4, static_cast<uint32_t>(length / 2));
    PutLittleEndian(r + 8, Type);
    std::memcpy(r + 12, &box.Low, sizeof box.Low);
    std::memcpy(r + 28, &box.High, sizeof box.High);
    PutLittleEndian<uint32_t>(r + 44, 1);
    PutLittleEndian<uint32_t>(r + 48, static_cast<uint32_t>(n));
    PutLittleEndian<uint32_t>(r + 52, 0); // the part starts at the first point
    std::memcpy(r + 56, Points, 16 * static_cast<size_t>(n));
    Global.Grow(box.Low, box.High);
}

void WriteBox(TPWStream& s, double xmin, double ymin, double xmax, double ymax) {
    s.WriteDouble(xmin);
    s.WriteDouble(ymin);
    s.WriteDouble(xmax);
    s.WriteDouble(ymax);
}

} // namespace

TGISWriteSHP::TGISWriteSHP() = default;
TGISWriteSHP::~TGISWriteSHP() = default;

int32_t TGISWriteSHP::ShapeType() const {
    switch (FObjectTypes) {
    case otPline:
        return 3;
    case otRegion:
        return 5;
    case otPoint:
        return 1;
    default:
        return 0;
    }
}

void TGISWriteSHP::DoStartHeader() {
    // The ".shp" is the main file: made first, it takes its name last.
    if (FObjectTypes != otNone)
        TemporaryOutputPath(FileName + ".shp");
    TGISWriteDBF::DoStartHeader();
    FShapeType = ShapeType();
    if (FObjectTypes != otNone) {
        if (!PRJ.empty())
            WriteSideFile(FileName + ".prj", 1252, PRJ);
        if (FCodepage != 0)
            WriteSideFile(FileName + ".cpg", 1252, std::to_string(FCodepage));

        uint8_t header[100] = {};
        PutBigEndian(header, FileCode);
        PutLittleEndian<uint32_t>(header + 28, Version);
        PutLittleEndian<uint32_t>(header + 32, static_cast<uint32_t>(FShapeType));
        for (auto* stream : {&FOutSHP, &FOutSHX}) {
            const std::string path = FileName + (stream == &FOutSHP ? ".shp" : ".shx");
            *stream = std::make_unique<TPWBufferedStream>(
                std::make_unique<TPWFileStream>(path, fmCreate));
            RegisterOutputFile(path);
            (*stream)->WriteBuffer(header, sizeof header);
        }
        FXMinG = FYMinG = UnsetCoordinate;
        FXMaxG = FYMaxG = -UnsetCoordinate;
        FSHPOffset = 100;
    }
    FSHPopen = true;
}

void TGISWriteSHP::ReserveRecord(uint64_t Bytes) {
    if (Bytes <= FRecordCapacity)
        return;
    if (Bytes > MaxShpFileSize)
        throw Exception("A shapefile holds at most 4 GB");
    uint64_t capacity = std::max<uint64_t>(Bytes, std::max<uint64_t>(256, 2 * FRecordCapacity));
    auto grown = std::make_unique<uint8_t[]>(capacity);
    if (FRecordCapacity > 0)
        std::memcpy(grown.get(), FRecord.get(), FRecordCapacity);
    FRecord = std::move(grown);
    FRecordCapacity = capacity;
}

void TGISWriteSHP::BeginObject(int32_t NumParts, std::string_view Attrib) {
    if (FSizeExceeded)
        throw Exception("A shapefile holds at most 4 GB");
    if (FRecordOpen)
        AbandonObject();                         // a record whose completion failed
    TGISWriteDBF::BeginObject(NumParts, Attrib); // the row; raises before writing a bad one
    if (FObjectTypes == otNone)
        return;
    FRecordOpen = true;
    FRecordNumber = FNumRec;
    FRecordType = NumParts == 0 ? 0 : FShapeType;
    if (FRecordType == 0) {
        FContentLength = 4;
        FinishRecord();
        return;
    }
    ReserveRecord(FRecordType == 1 ? 28 : 52 + 4 * static_cast<uint64_t>(NumParts));
    FNumPoints = 0;
    FXMinO = FYMinO = UnsetCoordinate;
    FXMaxO = FYMaxO = -UnsetCoordinate;
}

void TGISWriteSHP::WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) {
    TGISWriteDBF::WriteSection(Index, SegList);
    if (FObjectTypes == otNone || !FRecordOpen)
        return;
    if (FRecordType != 1 && FNumParts == 1 && WriteOnePartRecord(SegList))
        return;
    const TFloatPoint* pts = SegList.Pnt.data();
    if (FRecordType == 1) {
        // A point record holds one point: the first of the section.
        PutLittleEndian(FRecord.get() + 12, pts[0].x);
        PutLittleEndian(FRecord.get() + 20, pts[0].y);
        GrowBox(pts[0].x, pts[0].y, FXMinO, FYMinO, FXMaxO, FYMaxO);
    } else {
        const uint64_t at = 52 + 4 * static_cast<uint64_t>(FNumParts) + 16 * uint64_t{FNumPoints};
        ReserveRecord(at + 16 * static_cast<uint64_t>(SegList.Count));
        std::memcpy(FRecord.get() + at, pts, 16 * static_cast<size_t>(SegList.Count));
        GrowBoxBy(pts, SegList.Count, FXMinO, FYMinO, FXMaxO, FYMaxO);
        PutLittleEndian<uint32_t>(FRecord.get() + 48 + 4 * static_cast<size_t>(FWrittenParts),
                                  FNumPoints);
        FNumPoints += static_cast<uint32_t>(SegList.Count);
    }
    if (FWrittenParts < FNumParts)
        return;

    GrowBox(FXMinO, FYMinO, FXMinG, FYMinG, FXMaxG, FYMaxG);
    GrowBox(FXMaxO, FYMaxO, FXMinG, FYMinG, FXMaxG, FYMaxG);
    if (FRecordType == 1) {
        FContentLength = 20;
    } else {
        const uint64_t length =
            44 + 4 * static_cast<uint64_t>(FNumParts) + 16 * uint64_t{FNumPoints};
        if (length > MaxShpFileSize)
            throw Exception("A shapefile holds at most 4 GB");
        PutPolyHeader(FRecord.get(), length);
    }
    FinishRecord();
}

// The box, the number of parts and of points of a polyline or polygon record.
inline void TGISWriteSHP::PutPolyHeader(uint8_t* Record, uint64_t ContentLength) {
    PutLittleEndian(Record + 12, FXMinO);
    PutLittleEndian(Record + 20, FYMinO);
    PutLittleEndian(Record + 28, FXMaxO);
    PutLittleEndian(Record + 36, FYMaxO);
    PutLittleEndian<uint32_t>(Record + 44, static_cast<uint32_t>(FNumParts));
    PutLittleEndian<uint32_t>(Record + 48, FNumPoints);
    FContentLength = static_cast<uint32_t>(ContentLength);
}

// The usual object, a polygon or polyline of one part: its record is built straight
// into the ".shp" window, the same bytes as when it is assembled part by part.
// False when it does not fit there (the record is then assembled as any other).
bool TGISWriteSHP::WriteOnePartRecord(const TFloatPointArrayEx& SegList) {
    uint8_t* r = ClaimOnePartRecord(SegList.Count);
    if (!r)
        return false;
    PutOnePartRecord(r, SegList.Pnt.data(), SegList.Count);
    return true;
}

// Room in the ".shp" window for the record of one part of Count points, at the
// record's offset; null when it would pass the 4 GB limit or not fit in a window.
uint8_t* TGISWriteSHP::ClaimOnePartRecord(int32_t Count) {
    const uint64_t total = 56 + 16 * static_cast<uint64_t>(Count);
    if (FSHPOffset + total > MaxShpFileSize || total > static_cast<uint64_t>(INT32_MAX))
        return nullptr;
    if (FOutSHP->Tell() != FSHPOffset)
        FOutSHP->SetPosition(FSHPOffset);
    return FOutSHP->Claim(static_cast<int32_t>(total));
}

// Fills the room of ClaimOnePartRecord with the record FRecordNumber of type
// FRecordType, whose one part holds Count points; then its index entry.
void TGISWriteSHP::PutOnePartRecord(uint8_t* r, const TFloatPoint* Points, int32_t Count) {
    const uint32_t length = 48 + 16 * static_cast<uint32_t>(Count);
    const uint32_t offset = FSHPOffset;
    TBox global(FXMinG, FYMinG, FXMaxG, FYMaxG);
    FSHPOffset += 8 + length;
    FRecordOpen = false;
    FillOnePartRecord(r, FRecordNumber, static_cast<uint32_t>(FRecordType), Points, Count, global);
    global.Unpack(FXMinG, FYMinG, FXMaxG, FYMaxG);
    FOutSHX->WriteInt64(IndexEntry(offset / 2, length / 2));
}

// The grid's cells: each object's row into the ".dbf" and its record straight into
// the ".shp" window, the bytes BeginObject and WriteSection write one by one.
int32_t TGISWriteSHP::WriteOnePartObjects(const TOnePartObjects& Objects) {
    if ((FObjectTypes != otRegion && FObjectTypes != otPline) || FRecordOpen || FSizeExceeded)
        return 0;
    const int32_t n = Objects.PointsPerPart;
    const uint64_t total = 56 + 16 * static_cast<uint64_t>(n);
    if (total > static_cast<uint64_t>(INT32_MAX))
        return 0;
    // The records that stay below the 4 GB limit; the one-by-one path reports it.
    const auto count = static_cast<int32_t>(std::min<uint64_t>(
        static_cast<uint64_t>(Objects.Count), (MaxShpFileSize - FSHPOffset) / total));
    if (FOutSHP->Tell() != FSHPOffset)
        FOutSHP->SetPosition(FSHPOffset);
    const int32_t quick = FQuoted.Taken && n <= 256 ? WriteQuotedRun(Objects, count) : 0;
    const TFloatPoint* part = Objects.Points + static_cast<size_t>(quick) * n;
    for (int32_t k = quick; k < count; ++k, part += n) {
        uint8_t* r = FOutSHP->Claim(static_cast<int32_t>(total));
        if (!r)
            return k;
        try {
            if (!WriteQuotedRow(Objects.Rows[k]))
                WriteRecord(Objects.Rows[k]); // raises for a refused row before writing it
        } catch (...) {
            FOutSHP->Unclaim(static_cast<int32_t>(total));
            throw;
        }
        FRecordNumber = FNumRec;
        FRecordType = FShapeType;
        PutOnePartRecord(r, part, n);
    }
    return count;
}

// The leading objects of a run whose rows are quoted values (FQuoted), up to Count:
// blocks of records claimed in the three windows at once, the state kept in locals
// while the bytes go in. Returns how many; it stops before the first other row.
int32_t TGISWriteSHP::WriteQuotedRun(const TOnePartObjects& Objects, int32_t Count) {
    return Objects.PointsPerPart == 5 ? WriteQuotedRunOf<5>(Objects, Count)
                                      : WriteQuotedRunOf<0>(Objects, Count);
}

// WriteQuotedRun for parts of N points (Objects.PointsPerPart when N is 0).
template <int32_t N>
int32_t TGISWriteSHP::WriteQuotedRunOf(const TOnePartObjects& Objects, int32_t Count) {
    constexpr int32_t Block = 64;
    const TQuotedRows quoted = FQuoted;
    const int32_t n = Objects.PointsPerPart;
    const int32_t total = 56 + 16 * n, width = FTotalWidth;
    const auto type = static_cast<uint32_t>(FShapeType);
    const auto lengthWords = static_cast<uint32_t>(total - 8) / 2;
    int32_t k = 0;
    while (k < Count) {
        const int32_t m = std::min(Block, Count - k);
        uint8_t* shp = FOutSHP->Claim(m * total);
        uint8_t* shx = shp ? FOutSHX->Claim(8 * m) : nullptr;
        auto* dbf = shx ? reinterpret_cast<char*>(FOutDBF->Claim(m * width)) : nullptr;
        if (!dbf) {
            if (shx)
                FOutSHX->Unclaim(8 * m);
            if (shp)
                FOutSHP->Unclaim(m * total);
            return k;
        }
        uint32_t number = FNumRec, offset = FSHPOffset;
        TBox global(FXMinG, FYMinG, FXMaxG, FYMaxG);
        const std::string_view* rows = Objects.Rows + k;
        const TFloatPoint* part = Objects.Points + static_cast<size_t>(k) * n;
        int32_t done = 0;
        for (std::string_view value; done < m && quoted.Value(rows[done], value); ++done) {
            quoted.Put(dbf, value);
            FillOnePartRecord<N>(shp, ++number, type, part, n, global);
            const int64_t entry = IndexEntry(offset / 2, lengthWords);
            std::memcpy(shx, &entry, 8);
            offset += static_cast<uint32_t>(total);
            part += n;
            dbf += width;
            shp += total;
            shx += 8;
        }
        FOutDBF->Unclaim((m - done) * width);
        FOutSHX->Unclaim(8 * (m - done));
        FOutSHP->Unclaim((m - done) * total);
        FNumRec = number;
        FWrittenRecords += done;
        FSHPOffset = offset;
        global.Unpack(FXMinG, FYMinG, FXMaxG, FYMaxG);
        k += done;
        if (done < m)
            break;
    }
    return k;
}

// Record number, content length in words (big-endian) and shape type.
inline void TGISWriteSHP::PutRecordHeader(uint8_t* Record, uint64_t ContentLength) {
    PutBigEndian(Record, FRecordNumber);
    PutBigEndian(Record + 4, static_cast<uint32_t>(ContentLength / 2));
    PutLittleEndian<uint32_t>(Record + 8, static_cast<uint32_t>(FRecordType));
}

// The ".shx" entry of the record at FSHPOffset.
inline void TGISWriteSHP::AppendIndexEntry() {
    FOutSHX->WriteInt64(IndexEntry(FSHPOffset / 2, FContentLength / 2));
}

// Writes the record's header, the record itself and its index entry.
void TGISWriteSHP::FinishRecord() {
    const uint64_t total = 8 + uint64_t{FContentLength};
    if (FSHPOffset + total > MaxShpFileSize) {
        FSizeExceeded = true;
        throw Exception("A shapefile holds at most 4 GB");
    }
    ReserveRecord(12);
    uint8_t* r = FRecord.get();
    PutRecordHeader(r, FContentLength);
    if (FOutSHP->Tell() != FSHPOffset)
        FOutSHP->SetPosition(FSHPOffset);
    FOutSHP->Append(r, static_cast<int32_t>(total));
    AppendIndexEntry();
    FSHPOffset += static_cast<uint32_t>(total);
    FRecordOpen = false;
}

// An object whose parts did not all arrive keeps its ".dbf" row; its ".shp" record
// becomes a Null shape so that the three files still correspond.
void TGISWriteSHP::AbandonObject() {
    TGISWriteDBF::AbandonObject();
    if (!FRecordOpen)
        return;
    FRecordType = 0;
    FContentLength = 4;
    FinishRecord();
}

void TGISWriteSHP::DoAddPoint(double X, double Y, std::string_view Attrib) {
    if (FObjectTypes != otPoint)
        return;
    StartObject(1, Attrib);
    FPoint.Pnt[0] = TFloatPoint{X, Y};
    FPoint.Count = 1;
    AddSection(0, FPoint);
}

void TGISWriteSHP::DoClose() {
    if (FSizeExceeded)
        throw Exception("A shapefile holds at most 4 GB");
    if (FRecordOpen)
        AbandonObject();
    TGISWriteDBF::DoClose();
    if (FObjectTypes == otNone || !FSHPopen)
        return;
    FOutSHP->SetPosition(24);
    FOutSHP->WriteUInt32(__builtin_bswap32(FSHPOffset / 2));
    FOutSHP->SetPosition(36);
    WriteBox(*FOutSHP, FXMinG, FYMinG, FXMaxG, FYMaxG);
    FOutSHP->Flush();
    FOutSHP.reset();

    FOutSHX->SetPosition(24);
    FOutSHX->WriteUInt32(
        __builtin_bswap32(static_cast<uint32_t>((100 + 8 * uint64_t{FNumRec}) / 2)));
    FOutSHX->SetPosition(36);
    WriteBox(*FOutSHX, FXMinG, FYMinG, FXMaxG, FYMaxG);
    FOutSHX->Flush();
    FOutSHX.reset();
    FSHPopen = false;
}

void TGISWriteSHP::ReleaseFiles() noexcept {
    TGISWriteDBF::ReleaseFiles();
    FOutSHP.reset();
    FOutSHX.reset();
    FSHPopen = false;
    FRecordOpen = false;
}

} // namespace pwnet
