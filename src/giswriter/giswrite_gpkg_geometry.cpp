#include "giswrite_gpkg_geometry.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace pwnet {

namespace {

// The longest header: magic, version, flags, srs_id, then the envelope of four doubles.
constexpr size_t HeaderRoom = 8 + 4 * 8;
constexpr size_t PointHeader = 8; // a single point carries no envelope
// The head of a multi geometry: byte order, type, number of members.
constexpr size_t MultiHead = 1 + 4 + 4;
constexpr size_t MembersAt = HeaderRoom + MultiHead;

constexpr uint8_t LittleEndian = 1;
constexpr uint8_t FlagLittleEndian = 0x01;
constexpr uint8_t FlagEnvelopeXY = 0x02; // envelope code 1 in bits 1 to 3

void StoreU32(uint8_t* p, uint32_t v) {
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

void StoreF64(uint8_t* p, double d) {
    uint64_t v;
    std::memcpy(&v, &d, 8);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    std::memcpy(p, &v, 8);
}

uint32_t LoadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap32(v);
    return v;
}

void StoreHeader(uint8_t* p, int32_t SrsId, const TGpkgBox* Envelope) {
    p[0] = 'G';
    p[1] = 'P';
    p[2] = 0; // version 1 of the blob format
    p[3] = FlagLittleEndian | (Envelope ? FlagEnvelopeXY : 0);
    StoreU32(p + 4, static_cast<uint32_t>(SrsId));
    if (Envelope) {
        StoreF64(p + 8, Envelope->MinX);
        StoreF64(p + 16, Envelope->MaxX);
        StoreF64(p + 24, Envelope->MinY);
        StoreF64(p + 32, Envelope->MaxY);
    }
}

void StoreTypeHead(uint8_t* p, uint32_t Type) {
    p[0] = LittleEndian;
    StoreU32(p + 1, Type);
}

} // namespace

void TGpkgGeometry::Start(TWkbType Member) {
    FMemberType = Member;
    FMembers = 0;
    FBox = TGpkgBox{};
    FSize = MembersAt;
    Reserve(0);
}

void TGpkgGeometry::Reserve(size_t More) {
    // Grows geometrically and never shrinks, so a run of equal cells allocates once.
    if (FBuf.size() < FSize + More)
        FBuf.resize(std::max(FSize + More, FBuf.size() * 2));
}

void TGpkgGeometry::PutU32(uint32_t V) {
    StoreU32(FBuf.data() + FSize, V);
    FSize += 4;
}

void TGpkgGeometry::PutPoint(const TFloatPoint& P) {
    StoreF64(FBuf.data() + FSize, P.x);
    StoreF64(FBuf.data() + FSize + 8, P.y);
    FSize += 16;
    FBox.Add(P.x, P.y);
}

void TGpkgGeometry::BeginMember(TWkbType Type) {
    StoreTypeHead(FBuf.data() + FSize, Type);
    FSize += 5;
    ++FMembers;
}

void TGpkgGeometry::AddRing(bool NewPolygon, const TFloatPoint* Points, int32_t Count) {
    const size_t bytes = 4 + 16 * static_cast<size_t>(Count);
    Reserve(5 + 4 + bytes);
    if (NewPolygon || FMembers == 0) {
        BeginMember(wkbPolygon2D);
        FRingCountAt = FSize;
        PutU32(0);
    }
    StoreU32(FBuf.data() + FRingCountAt, LoadU32(FBuf.data() + FRingCountAt) + 1);
    PutU32(static_cast<uint32_t>(Count));
    for (int32_t i = 0; i < Count; ++i)
        PutPoint(Points[i]);
}

void TGpkgGeometry::AddLineString(const TFloatPoint* Points, int32_t Count) {
    Reserve(5 + 4 + 16 * static_cast<size_t>(Count));
    BeginMember(wkbLineString2D);
    PutU32(static_cast<uint32_t>(Count));
    for (int32_t i = 0; i < Count; ++i)
        PutPoint(Points[i]);
}

void TGpkgGeometry::AddPoint(const TFloatPoint& P) {
    Reserve(5 + 16);
    BeginMember(wkbPoint2D);
    PutPoint(P);
}

std::span<const uint8_t> TGpkgGeometry::Finish(int32_t SrsId, bool Multi) {
    uint8_t* b = FBuf.data();
    FFinishedMulti = Multi || FMembers != 1;
    if (!FFinishedMulti) {
        const bool point = FMemberType == wkbPoint2D;
        const size_t header = point ? PointHeader : HeaderRoom;
        uint8_t* start = b + MembersAt - header;
        StoreHeader(start, SrsId, point ? nullptr : &FBox);
        return {start, FSize - (MembersAt - header)};
    }
    StoreHeader(b, SrsId, &FBox);
    StoreTypeHead(b + HeaderRoom, FMemberType + 3); // the multi type of each member type
    StoreU32(b + HeaderRoom + 5, static_cast<uint32_t>(FMembers));
    return {b, FSize};
}

bool TGpkgGeometry::ToMulti(std::span<const uint8_t> Blob, std::vector<uint8_t>& Out) {
    if (Blob.size() < PointHeader || Blob[0] != 'G' || Blob[1] != 'P' || Blob[2] != 0)
        return false;
    const uint8_t flags = Blob[3];
    if (!(flags & FlagLittleEndian) || (flags & ~(FlagLittleEndian | FlagEnvelopeXY)) != 0)
        return false;
    const size_t header = (flags & FlagEnvelopeXY) ? HeaderRoom : PointHeader;
    if (Blob.size() < header + 5 || Blob[header] != LittleEndian)
        return false;
    const uint32_t type = LoadU32(Blob.data() + header + 1);
    if (type < wkbPoint2D || type > wkbPolygon2D)
        return false;
    const size_t at = Out.size();
    Out.resize(at + Blob.size() + MultiHead);
    uint8_t* p = Out.data() + at;
    std::memcpy(p, Blob.data(), header);
    StoreTypeHead(p + header, type + 3);
    StoreU32(p + header + 5, 1);
    std::memcpy(p + header + MultiHead, Blob.data() + header, Blob.size() - header);
    return true;
}

} // namespace pwnet
