#pragma once
// A small stream family for the writers: typed little-endian transfers over an
// abstract stream, streams over POSIX file handles, and a buffered decorator
// that keeps one window of the file in memory.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace pwnet {

enum TSeekOrigin : int { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TPWStream {
public:
    virtual ~TPWStream() = default;
    TPWStream() = default;
    TPWStream(const TPWStream&) = delete;
    TPWStream& operator=(const TPWStream&) = delete;

    virtual int64_t GetSize();
    virtual void SetSize(int64_t NewSize) = 0;
    // Returns the new position, or -1 on failure.
    virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
    // Return the number of bytes moved; 0 at end of data or on failure.
    virtual int32_t Read(void* Buffer, int32_t Count) = 0;
    virtual int32_t Write(const void* Buffer, int32_t Count) = 0;

    int32_t BufferSize() const { return FBufferSize; }
    void SetBufferSize(int32_t Value) {
        BufferSizeChanging();
        FBufferSize = Value;
    }
    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t Value) { Seek(Value, soBeginning); }
    int64_t Size() { return GetSize(); }

    // Exactly Count bytes, or EReadError / EWriteError.
    void ReadBuffer(void* Buffer, int32_t Count);
    void WriteBuffer(const void* Buffer, int32_t Count);
    // ASize bytes decoded from the ANSI code page into UTF-8.
    std::string ReadString(int32_t ASize);

    // Typed transfers: one Read/Write call of the value's width, little-endian;
    // the count moved is not checked.
    void WriteByte(uint8_t AValue) { WriteValue(AValue); }
    void WriteUInt16(uint16_t AValue) { WriteValue(AValue); }
    void WriteInt16(int16_t AValue) { WriteValue(AValue); }
    void WriteUInt32(uint32_t AValue) { WriteValue(AValue); }
    void WriteInt32(int32_t AValue) { WriteValue(AValue); }
    void WriteInt64(int64_t AValue) { WriteValue(AValue); }
    void WriteSingle(float AValue) { WriteValue(AValue); }
    void WriteDouble(double AValue) { WriteValue(AValue); }
    uint8_t ReadByte() { return ReadValue<uint8_t>(); }
    uint16_t ReadUInt16() { return ReadValue<uint16_t>(); }
    int16_t ReadInt16() { return ReadValue<int16_t>(); }
    uint32_t ReadUInt32() { return ReadValue<uint32_t>(); }
    int32_t ReadInt32() { return ReadValue<int32_t>(); }
    int64_t ReadInt64() { return ReadValue<int64_t>(); }
    float ReadSingle() { return ReadValue<float>(); }
    double ReadDouble() { return ReadValue<double>(); }

    // The file a failed Write was meant for (its full path) and the system's reason;
    // left empty where the stream does not know them. WriteBuffer puts them into its
    // EWriteError.
    virtual void DescribeWriteFailure(std::string& FileName, std::string& Reason) const;

protected:
    // Lets a stream that caches window state bring it up to date first.
    virtual void BufferSizeChanging() {}

    int32_t FBufferSize = 0;

private:
    // The in-memory image is the file image: x86-64 and the other targets are little-endian.
    template <typename T> void WriteValue(T v) { Write(&v, sizeof v); }
    template <typename T> T ReadValue() {
        T v{};
        Read(&v, sizeof v);
        return v;
    }
};

// A stream over an operating-system file handle it does not own.
class TPWHandleStream : public TPWStream {
public:
    static constexpr int InvalidHandle = -1;
    explicit TPWHandleStream(int AHandle) : FHandle(AHandle) {}

    int Handle() const { return FHandle; }
    void SetSize(int64_t NewSize) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    void DescribeWriteFailure(std::string& FileName, std::string& Reason) const override;

protected:
    int FHandle;
    int FWriteError = 0; // errno of the last Write that failed
};

// Mode words of TPWFileStream.
inline constexpr uint16_t fmCreate = 0xFF00;
inline constexpr uint16_t fmOpenRead = 0x0000;
inline constexpr uint16_t fmOpenWrite = 0x0001;
inline constexpr uint16_t fmOpenReadWrite = 0x0002;
inline constexpr uint16_t fmShareExclusive = 0x0010;
inline constexpr uint16_t fmShareDenyWrite = 0x0020;
inline constexpr uint16_t fmShareDenyRead = 0x0030;
inline constexpr uint16_t fmShareDenyNone = 0x0040;

// The absolute, normalised path of a file name, as the stream errors name files
// ("Cannot create file "<path>". <reason>"); the name itself when it has none.
std::string FullPath(const std::string& name);

// A stream that opens or creates a named file and closes it when destroyed.
//
// While a TOutputFiles is current on this thread (output_files.h: a writer is
// producing its output), the create form makes the file as that output's temporary,
// exclusively and never through a link, and the open form opens the temporary of a
// file the output holds; FileName and the messages keep the name the caller gave.
class TPWFileStream : public TPWHandleStream {
public:
    TPWFileStream(const std::string& AFileName, uint16_t Mode);
    TPWFileStream(const std::string& AFileName, uint16_t Mode, uint32_t Rights);
    ~TPWFileStream() override;

    const std::string& FileName() const { return FFileName; }
    void DescribeWriteFailure(std::string& FileName, std::string& Reason) const override;

private:
    std::string FFileName;
};

// Forwards every operation to an inner stream, which it may own.
class TPWStreamDecorator : public TPWStream {
public:
    TPWStreamDecorator(TPWStream* AStream, bool AOwnsStream);
    ~TPWStreamDecorator() override;

    bool OwnsStream() const { return FOwned != nullptr; }
    void SetOwnsStream(bool Value);
    TPWStream* Stream() const { return FStream; }

    void SetSize(int64_t NewSize) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    void DescribeWriteFailure(std::string& FileName, std::string& Reason) const override;

protected:
    TPWStream* FStream;

private:
    std::unique_ptr<TPWStream> FOwned; // holds FStream when the decorator owns it
};

// Keeps one window (1 MiB by default) of the inner stream in memory, so that the
// writers' many 2-, 4- and 8-byte writes become one platform write per window.
class TPWBufferedStream : public TPWStreamDecorator {
public:
    TPWBufferedStream(TPWStream* AStream, bool AOwnsStream);
    // Convenience for the usual case: owns the stream it is given.
    explicit TPWBufferedStream(std::unique_ptr<TPWStream> AStream);
    // Writes back what is pending. Errors are swallowed here (a destructor must not
    // throw); call Flush first to see them.
    ~TPWBufferedStream() override;

    void SetSize(int64_t NewSize) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;

    virtual int64_t GetBufferedSize();
    virtual bool FillBuffer();
    virtual void Flush();

protected:
    void BufferSizeChanging() override { Sync(); }

public:
    // The typed writes again, copied straight into the window when the value fits
    // there (the writers' hot path: no virtual call); otherwise through Write. The
    // result is byte for byte that of the base class's typed writes.
    void WriteByte(uint8_t AValue) { Put(AValue); }
    void WriteUInt16(uint16_t AValue) { Put(AValue); }
    void WriteInt16(int16_t AValue) { Put(AValue); }
    void WriteUInt32(uint32_t AValue) { Put(AValue); }
    void WriteInt32(int32_t AValue) { Put(AValue); }
    void WriteInt64(int64_t AValue) { Put(AValue); }
    void WriteSingle(float AValue) { Put(AValue); }
    void WriteDouble(double AValue) { Put(AValue); }

    // The position, without folding the cursor back (Position does that).
    int64_t Tell() const { return FCursor ? FBufferStart + (FCursor - FWindow) : FPosition; }

    // Count bytes at the current position, as WriteBuffer writes them; copied
    // straight into the window when they fit there.
    void Append(const void* Buffer, int32_t Count) {
        if (FLimit - FCursor >= Count) {
            std::memcpy(FCursor, Buffer, static_cast<size_t>(Count));
            FCursor += Count;
        } else {
            PutSlow(Buffer, Count);
        }
    }
    // Room for Count bytes at the current position, inside the window: the caller
    // fills all of them before the next operation on this stream, which then finds
    // them written as by Append. Null when Count does not fit in a window (the
    // caller then writes the bytes with Append).
    uint8_t* Claim(int32_t Count) {
        if (FLimit - FCursor >= Count) {
            uint8_t* room = FCursor;
            FCursor += Count;
            return room;
        }
        return ClaimSlow(Count);
    }
    // Gives back the last Count bytes of the room Claim has just returned, unused:
    // the position moves back as if they had never been claimed. Only right after
    // Claim, before any other operation on this stream, and at most what it claimed.
    void Unclaim(int32_t Count) { FCursor -= Count; }

private:
    // Typed writes append through a cursor into the window. While it is armed, the
    // cursor is the true position: every other operation first folds it back into
    // FPosition and the window's extents (Sync), so all of them see exact state.
    template <typename T> void Put(T v) {
        constexpr int32_t n = sizeof v;
        if (FLimit - FCursor >= n) {
            std::memcpy(FCursor, &v, n);
            FCursor += n;
        } else {
            PutSlow(&v, n);
        }
    }
    void PutSlow(const void* Buffer, int32_t Count);
    uint8_t* ClaimSlow(int32_t Count);
    void Sync();
    void Arm();
    // Makes the window hold FPosition, reloading it when it does not.
    void LoadWindowAtPosition();
    // Window bytes between the valid ones and Offset read as zero, as the bytes a
    // file stream skips over do: the window may hold a former window's bytes there.
    void ZeroGapBefore(int32_t Offset);

    // The window never shrinks below one byte, so a zero BufferSize cannot stall a copy.
    int32_t WindowSize() const { return FBufferSize > 0 ? FBufferSize : 1; }
    bool PositionInBuffer() const {
        return FBufferStart <= FPosition && FPosition < FBufferStart + FBufferCurrentSize;
    }

    // The window's memory, two pages more than its length (WindowFor); allocated
    // without clearing it, so that a small file touches only the pages it fills
    // (bytes beyond FBufferCurrentSize are never read).
    static constexpr uintptr_t WindowPage = 4096;
    uint8_t* WindowFor(int64_t Start) const;
    std::unique_ptr<uint8_t[]> FBuffer;
    int32_t FBufferLength = 0;
    // The window's first byte, inside FBuffer; typed writes go through it while its
    // length matches BufferSize, else FWindowLength is 0 (they then go through
    // Write, which reloads the window first).
    uint8_t* FWindow = nullptr;
    int32_t FWindowLength = 0;
    uint8_t* FCursor = nullptr;
    uint8_t* FLimit = nullptr;
    int32_t FArmedOffset = 0;
    int32_t FBufferCurrentSize = 0;
    int32_t FBufferMaxModifiedPos = 0;
    int64_t FBufferStart = 0;
    int64_t FPosition = 0;
};

} // namespace pwnet
