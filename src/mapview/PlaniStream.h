#pragma once
// Byte streams of the map toolkit. Object data, pen records and the in-memory
// vector store are byte records with fixed little-endian layouts, so the
// toolkit carries them in its own small stream family rather than iostreams:
// TMemoryStream is the growable byte buffer with a position that the tables
// and their callers fill, TFileStream reads a file in the same way.
//
// The component-streaming form of the styles (a value per field, tagged with
// its type) is TValueWriter/TValueReader over any TStream.

#include "errors.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace plani {

static_assert(std::endian::native == std::endian::little,
              "the toolkit's records are stored little-endian");

enum TSeekOrigin : int { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

class TStream {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    TStream(TStream&&) = default;
    TStream& operator=(TStream&&) = default;
    virtual ~TStream() = default;

    // Return the number of bytes moved; fewer at the end of the data.
    virtual int64_t Read(void* Buffer, int64_t Count) = 0;
    virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
    // Returns the new position.
    virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
    virtual int64_t Size() = 0;

    int64_t Position() { return Seek(0, soFromCurrent); }
    void SetPosition(int64_t Pos) { Seek(Pos, soFromBeginning); }

    // Exactly Count bytes or EReadError "Stream read error" / EWriteError "Stream write error".
    void ReadBuffer(void* Buffer, int64_t Count);
    void WriteBuffer(const void* Buffer, int64_t Count);

    template <typename T> T ReadValue() {
        T v;
        ReadBuffer(&v, sizeof(T));
        return v;
    }
    template <typename T> void WriteValue(const T& v) { WriteBuffer(&v, sizeof(T)); }

    uint8_t ReadByte() { return ReadValue<uint8_t>(); }
    int16_t ReadInt16() { return ReadValue<int16_t>(); }
    int32_t ReadInt32() { return ReadValue<int32_t>(); }
    uint16_t ReadUInt16() { return ReadValue<uint16_t>(); }
    uint32_t ReadUInt32() { return ReadValue<uint32_t>(); }
    float ReadSingle() { return ReadValue<float>(); }
    double ReadDouble() { return ReadValue<double>(); }
    void WriteByte(uint8_t v) { WriteValue(v); }
    void WriteInt16(int16_t v) { WriteValue(v); }
    void WriteInt32(int32_t v) { WriteValue(v); }
    void WriteUInt16(uint16_t v) { WriteValue(v); }
    void WriteUInt32(uint32_t v) { WriteValue(v); }
    void WriteSingle(float v) { WriteValue(v); }
    void WriteDouble(double v) { WriteValue(v); }

    // Copies Count bytes (all from position 0 when Count is 0) from Source.
    int64_t CopyFrom(TStream& Source, int64_t Count);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    TMemoryStream(TMemoryStream&& o) noexcept : fData(std::move(o.fData)), fPos(o.fPos) {
        o.fPos = 0;
    }
    TMemoryStream& operator=(TMemoryStream&& o) noexcept {
        fData = std::move(o.fData);
        fPos = o.fPos;
        o.fPos = 0;
        return *this;
    }
    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override { return static_cast<int64_t>(fData.size()); }

    // Grows with zero bytes or cuts; the position stays unless it is now past the end.
    void SetSize(int64_t NewSize);
    void Clear() {
        fData.clear();
        fPos = 0;
    }
    const uint8_t* Memory() const { return fData.data(); }
    uint8_t* Memory() { return fData.data(); }
    const std::vector<uint8_t>& Bytes() const { return fData; }
    void LoadFromFile(const std::string& FileName);

private:
    std::vector<uint8_t> fData;
    int64_t fPos = 0;
};

// A file opened for reading; EFOpenError when it cannot be opened.
class TFileStream : public TStream {
public:
    explicit TFileStream(const std::string& FileName);
    TFileStream(TFileStream&&) = delete;
    ~TFileStream() override;
    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override;

private:
    std::FILE* fFile = nullptr;
};

// Component-streaming form: one tagged value per field. A reader meeting a value
// of another type (or the end of the data) raises EReadError "Invalid property value".
enum TValueType : uint8_t { vaNull = 0, vaInteger = 1, vaFloat = 2, vaFalse = 3, vaTrue = 4 };

class TValueWriter {
public:
    explicit TValueWriter(TStream& Stream) : fStream(Stream) {}
    void WriteInteger(int64_t Value);
    void WriteFloat(double Value);
    void WriteBoolean(bool Value);

private:
    TStream& fStream;
};

class TValueReader {
public:
    explicit TValueReader(TStream& Stream) : fStream(Stream) {}
    int64_t ReadInteger();
    double ReadFloat();
    bool ReadBoolean();

private:
    TValueType ReadTag();
    TStream& fStream;
};

} // namespace plani
