#include "PlaniStream.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace plani {

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
    if (Count <= 0)
        return;
    if (Read(Buffer, Count) != Count)
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
    if (Count <= 0)
        return;
    if (Write(Buffer, Count) != Count)
        throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
    if (Count == 0) {
        Source.SetPosition(0);
        Count = Source.Size();
    }
    std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(Count, 65536)));
    int64_t left = Count;
    while (left > 0) {
        int64_t n = std::min<int64_t>(left, static_cast<int64_t>(buf.size()));
        Source.ReadBuffer(buf.data(), n);
        WriteBuffer(buf.data(), n);
        left -= n;
    }
    return Count;
}

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
    if (Count <= 0 || fPos >= Size())
        return 0;
    int64_t n = std::min(Count, Size() - fPos);
    std::memcpy(Buffer, fData.data() + fPos, static_cast<size_t>(n));
    fPos += n;
    return n;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
    if (Count <= 0)
        return 0;
    if (fPos + Count > Size())
        fData.resize(static_cast<size_t>(fPos + Count));
    std::memcpy(fData.data() + fPos, Buffer, static_cast<size_t>(Count));
    fPos += Count;
    return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int64_t base = Origin == soFromBeginning ? 0 : Origin == soFromCurrent ? fPos : Size();
    fPos = std::max<int64_t>(0, base + Offset);
    return fPos;
}

void TMemoryStream::SetSize(int64_t NewSize) {
    fData.resize(static_cast<size_t>(std::max<int64_t>(0, NewSize)));
    if (fPos > Size())
        fPos = Size();
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
    TFileStream f(FileName);
    Clear();
    SetSize(f.Size());
    f.ReadBuffer(fData.data(), Size());
    fPos = 0;
}

TFileStream::TFileStream(const std::string& FileName) {
    fFile = std::fopen(FileName.c_str(), "rb");
    if (!fFile) {
        std::string full = std::filesystem::absolute(FileName).string();
        throw EFOpenError("Cannot open file \"" + full + "\". " + std::strerror(errno));
    }
}

TFileStream::~TFileStream() {
    if (fFile)
        std::fclose(fFile);
}

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
    if (Count <= 0)
        return 0;
    return static_cast<int64_t>(std::fread(Buffer, 1, static_cast<size_t>(Count), fFile));
}

int64_t TFileStream::Write(const void*, int64_t) {
    return 0;
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int whence = Origin == soFromBeginning ? SEEK_SET
                 : Origin == soFromCurrent ? SEEK_CUR
                                           : SEEK_END;
    if (std::fseek(fFile, static_cast<long>(Offset), whence) != 0)
        return -1;
    return std::ftell(fFile);
}

int64_t TFileStream::Size() {
    long here = std::ftell(fFile);
    std::fseek(fFile, 0, SEEK_END);
    long size = std::ftell(fFile);
    std::fseek(fFile, here, SEEK_SET);
    return size;
}

void TValueWriter::WriteInteger(int64_t Value) {
    fStream.WriteByte(vaInteger);
    fStream.WriteValue(Value);
}

void TValueWriter::WriteFloat(double Value) {
    fStream.WriteByte(vaFloat);
    fStream.WriteDouble(Value);
}

void TValueWriter::WriteBoolean(bool Value) {
    fStream.WriteByte(Value ? vaTrue : vaFalse);
}

TValueType TValueReader::ReadTag() {
    uint8_t tag = 0;
    if (fStream.Read(&tag, 1) != 1)
        throw EReadError("Invalid property value");
    return static_cast<TValueType>(tag);
}

int64_t TValueReader::ReadInteger() {
    if (ReadTag() != vaInteger)
        throw EReadError("Invalid property value");
    int64_t v = 0;
    if (fStream.Read(&v, sizeof v) != sizeof v)
        throw EReadError("Invalid property value");
    return v;
}

double TValueReader::ReadFloat() {
    if (ReadTag() != vaFloat)
        throw EReadError("Invalid property value");
    double v = 0;
    if (fStream.Read(&v, sizeof v) != sizeof v)
        throw EReadError("Invalid property value");
    return v;
}

bool TValueReader::ReadBoolean() {
    TValueType t = ReadTag();
    if (t != vaTrue && t != vaFalse)
        throw EReadError("Invalid property value");
    return t == vaTrue;
}

} // namespace plani
