#include "pwnet_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "errors.h"
#include "output_files.h"
#include "pwnet_functions.h"

namespace pwnet {

// ---- TPWStream ------------------------------------------------------------

int64_t TPWStream::GetSize() {
    int64_t saved = Seek(0, soCurrent);
    int64_t result = Seek(0, soEnd);
    Seek(saved, soBeginning);
    return result;
}

void TPWStream::ReadBuffer(void* Buffer, int32_t Count) {
    auto* p = static_cast<uint8_t*>(Buffer);
    int32_t n = Read(p, Count);
    while (n < Count) {
        int32_t r = Read(p + n, Count - n);
        if (r <= 0) throw EReadError("Stream read error");
        n += r;
    }
}

void TPWStream::WriteBuffer(const void* Buffer, int32_t Count) {
    const auto* p = static_cast<const uint8_t*>(Buffer);
    int32_t n = Write(p, Count);
    while (n < Count) {
        int32_t r = Write(p + n, Count - n);
        if (r <= 0) {
            std::string file, reason;
            DescribeWriteFailure(file, reason);
            throw EWriteError("Stream write error", std::move(file), std::move(reason));
        }
        n += r;
    }
}

void TPWStream::DescribeWriteFailure(std::string&, std::string&) const {}

std::string TPWStream::ReadString(int32_t ASize) {
    if (ASize <= 0) return {};
    std::string bytes(static_cast<size_t>(ASize), '\0');
    ReadBuffer(bytes.data(), ASize);
    return CodePageToUnicode(bytes, GetSystemAnsiCodePage());
}

// ---- TPWHandleStream ------------------------------------------------------

int32_t TPWHandleStream::Read(void* Buffer, int32_t Count) {
    if (Count <= 0) return 0;
    ssize_t r;
    do {
        r = ::read(FHandle, Buffer, static_cast<size_t>(Count));
    } while (r < 0 && errno == EINTR);
    return r < 0 ? 0 : static_cast<int32_t>(r);
}

int32_t TPWHandleStream::Write(const void* Buffer, int32_t Count) {
    if (Count <= 0) return 0;
    ssize_t r;
    do {
        r = ::write(FHandle, Buffer, static_cast<size_t>(Count));
    } while (r < 0 && errno == EINTR);
    if (r < 0) {
        FWriteError = errno;
        return 0;
    }
    return static_cast<int32_t>(r);
}

void TPWHandleStream::DescribeWriteFailure(std::string&, std::string& Reason) const {
    if (FWriteError != 0) Reason = std::strerror(FWriteError);
}

int64_t TPWHandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int whence;
    switch (Origin) {
    case soBeginning: whence = SEEK_SET; break;
    case soCurrent: whence = SEEK_CUR; break;
    case soEnd: whence = SEEK_END; break;
    default: return -1;
    }
    off_t r = ::lseek(FHandle, static_cast<off_t>(Offset), whence);
    return r < 0 ? -1 : static_cast<int64_t>(r);
}

void TPWHandleStream::SetSize(int64_t NewSize) {
    Seek(NewSize, soBeginning);
    if (::ftruncate(FHandle, static_cast<off_t>(NewSize)) != 0) {
        int err = errno;
        throw EOSError(err, "System Error.  Code: " + std::to_string(err) + ".\n" +
                                std::strerror(err));
    }
}

// ---- TPWFileStream --------------------------------------------------------

std::string FullPath(const std::string& name) {
    std::error_code ec;
    auto p = std::filesystem::absolute(name, ec);
    return ec ? name : p.lexically_normal().string();
}

namespace {

// Sharing modes 0..4 exist; POSIX has no mandatory sharing, so a valid value is
// checked and otherwise ignored.
bool ValidShareMode(unsigned share) { return (share >> 4) <= 4; }

int CreateFlags(uint16_t Mode, bool& valid) {
    unsigned share = Mode & 0xFF;
    if (share == 0xFF) share = 0x10;
    valid = share <= 0x4F && ValidShareMode(share);
    int flags = O_RDWR | O_CREAT | O_CLOEXEC;
    flags |= (share & 0x4) ? O_EXCL : O_TRUNC;
    return flags;
}

int OpenFlags(uint16_t Mode, bool& valid) {
    unsigned access = Mode & 0x3;
    valid = access != 3 && ValidShareMode(Mode & 0xF0);
    static constexpr int accessFlags[] = {O_RDONLY, O_WRONLY, O_RDWR, 0};
    return accessFlags[access] | O_CLOEXEC;
}

} // namespace

TPWFileStream::TPWFileStream(const std::string& AFileName, uint16_t Mode)
    : TPWFileStream(AFileName, Mode, 0) {}

TPWFileStream::TPWFileStream(const std::string& AFileName, uint16_t Mode, uint32_t Rights)
    : TPWHandleStream(InvalidHandle) {
    bool creating = Mode >= 0xFF00;
    bool valid = false;
    int flags = creating ? CreateFlags(Mode, valid) : OpenFlags(Mode, valid);
    TOutputFiles* output = TOutputFiles::Current();
    std::string reason = std::strerror(EINVAL);
    if (valid && output && creating) {
        const TOutputFiles::TCreated created = output->Create(AFileName, (flags & O_EXCL) != 0);
        FHandle = created.Handle;
        reason = created.Reason;
    } else if (valid) {
        const std::string* temporary = output ? output->TemporaryOf(AFileName) : nullptr;
        const std::string& path = temporary ? *temporary : AFileName;
        // Rights 0 means "the default": an ordinary file readable by all, subject to umask.
        mode_t perms = Rights != 0 ? static_cast<mode_t>(Rights) : 0666;
        do {
            FHandle = ::open(path.c_str(), flags, perms);
        } while (FHandle < 0 && errno == EINTR);
        reason = std::strerror(errno);
    }
    if (FHandle < 0) {
        FHandle = InvalidHandle;
        const char* fmt = creating ? "Cannot create file \"" : "Cannot open file \"";
        std::string msg = fmt + FullPath(AFileName) + "\". " + reason;
        if (creating) throw EFCreateError(msg);
        throw EFOpenError(msg);
    }
    FFileName = AFileName;
}

void TPWFileStream::DescribeWriteFailure(std::string& FileName, std::string& Reason) const {
    TPWHandleStream::DescribeWriteFailure(FileName, Reason);
    FileName = FullPath(FFileName);
}

TPWFileStream::~TPWFileStream() {
    if (FHandle != InvalidHandle) ::close(FHandle);
}

// ---- TPWStreamDecorator ---------------------------------------------------

TPWStreamDecorator::TPWStreamDecorator(TPWStream* AStream, bool AOwnsStream)
    : FStream(AStream) {
    SetOwnsStream(AOwnsStream);
}

TPWStreamDecorator::~TPWStreamDecorator() = default;

void TPWStreamDecorator::SetOwnsStream(bool Value) {
    if (Value && !FOwned) FOwned.reset(FStream);
    if (!Value) FOwned.release();
}

void TPWStreamDecorator::SetSize(int64_t NewSize) {
    if (FStream) FStream->SetSize(NewSize);
}

int64_t TPWStreamDecorator::Seek(int64_t Offset, TSeekOrigin Origin) {
    return FStream ? FStream->Seek(Offset, Origin) : -1;
}

int32_t TPWStreamDecorator::Read(void* Buffer, int32_t Count) {
    return FStream ? FStream->Read(Buffer, Count) : 0;
}

int32_t TPWStreamDecorator::Write(const void* Buffer, int32_t Count) {
    return FStream ? FStream->Write(Buffer, Count) : 0;
}

void TPWStreamDecorator::DescribeWriteFailure(std::string& FileName, std::string& Reason) const {
    if (FStream) FStream->DescribeWriteFailure(FileName, Reason);
}

// ---- TPWBufferedStream ----------------------------------------------------

TPWBufferedStream::TPWBufferedStream(TPWStream* AStream, bool AOwnsStream)
    : TPWStreamDecorator(AStream, AOwnsStream) {
    FPosition = FStream ? FStream->Position() : 0;
    FBufferSize = 1048576;
    FillBuffer();
}

TPWBufferedStream::TPWBufferedStream(std::unique_ptr<TPWStream> AStream)
    : TPWBufferedStream(AStream.get(), true) {
    AStream.release();
}

TPWBufferedStream::~TPWBufferedStream() {
    Sync();
    try {
        Flush();
    } catch (const Exception&) {
        // A destructor cannot report; callers that care call Flush first.
    }
}

void TPWBufferedStream::Flush() {
    Sync();
    if (FStream && FBufferMaxModifiedPos > 0) {
        FStream->SetPosition(FBufferStart);
        FStream->WriteBuffer(FWindow, FBufferMaxModifiedPos);
        FBufferMaxModifiedPos = 0;
    }
}

bool TPWBufferedStream::FillBuffer() {
    Sync();
    Flush();
    if (FBufferLength != WindowSize()) {
        FBuffer = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(WindowSize()) +
                                                            2 * WindowPage);
        FBufferLength = WindowSize();
    }
    FWindow = WindowFor(FPosition);
    FWindowLength = FBufferSize == WindowSize() ? WindowSize() : 0;
    if (FStream) {
        FStream->SetPosition(FPosition);
        FBufferCurrentSize = FStream->Read(FWindow, FBufferLength);
    } else {
        FBufferCurrentSize = 0;
    }
    FBufferStart = FPosition;
    return FBufferCurrentSize > 0;
}

// A window that starts at file offset Start begins at the same offset within a page
// of memory: the kernel then copies each page of a write out of one page of memory,
// whereas a write whose memory and file offsets differ within the page (the windows
// end where a claim no longer fits) costs it a fifth more.
uint8_t* TPWBufferedStream::WindowFor(int64_t Start) const {
    const uintptr_t base =
        (reinterpret_cast<uintptr_t>(FBuffer.get()) + WindowPage - 1) & ~(WindowPage - 1);
    return reinterpret_cast<uint8_t*>(base + static_cast<uintptr_t>(Start) % WindowPage);
}

void TPWBufferedStream::Sync() {
    if (!FCursor)
        return;
    auto offset = static_cast<int32_t>(FCursor - FWindow);
    if (offset > FArmedOffset) {
        FPosition = FBufferStart + offset;
        FBufferCurrentSize = std::max(FBufferCurrentSize, offset);
        FBufferMaxModifiedPos = std::max(FBufferMaxModifiedPos, offset);
    }
    FCursor = FLimit = nullptr;
}

void TPWBufferedStream::Arm() {
    int64_t offset = FPosition - FBufferStart;
    if (FWindowLength != FBufferSize || offset < 0 || offset > FBufferCurrentSize)
        return;
    FArmedOffset = static_cast<int32_t>(offset);
    FCursor = FWindow + offset;
    FLimit = FWindow + FWindowLength;
}

void TPWBufferedStream::PutSlow(const void* Buffer, int32_t Count) {
    Write(Buffer, Count); // syncs first
    Arm();
}

void TPWBufferedStream::LoadWindowAtPosition() {
    // A changed BufferSize takes effect at the next reload; reloading here too keeps
    // the copy inside the window when it has just been changed.
    if (FPosition < FBufferStart || FPosition >= FBufferStart + WindowSize() ||
        FBufferLength != WindowSize())
        FillBuffer();
}

void TPWBufferedStream::ZeroGapBefore(int32_t Offset) {
    if (Offset <= FBufferCurrentSize)
        return;
    std::memset(FWindow + FBufferCurrentSize, 0,
                static_cast<size_t>(Offset - FBufferCurrentSize));
    FBufferCurrentSize = Offset;
}

uint8_t* TPWBufferedStream::ClaimSlow(int32_t Count) {
    Sync();
    if (Count <= 0 || FBufferSize != WindowSize() || Count > FBufferSize)
        return nullptr;
    // The room must lie in one window: reload at the position when it would cross
    // the end of this one.
    if (FPosition + Count > FBufferStart + WindowSize())
        FillBuffer();
    LoadWindowAtPosition();
    ZeroGapBefore(static_cast<int32_t>(FPosition - FBufferStart));
    Arm();
    if (FLimit - FCursor < Count)
        return nullptr;
    uint8_t* room = FCursor;
    FCursor += Count;
    return room;
}

int32_t TPWBufferedStream::Read(void* Buffer, int32_t Count) {
    Sync();
    auto* out = static_cast<uint8_t*>(Buffer);
    int32_t remaining = Count;
    while (remaining > 0) {
        if (!PositionInBuffer() && !FillBuffer())
            break;
        auto offset = static_cast<int32_t>(FPosition - FBufferStart);
        int32_t n = std::min(remaining, FBufferCurrentSize - offset);
        std::memcpy(out + (Count - remaining), FWindow + offset, static_cast<size_t>(n));
        FPosition += n;
        remaining -= n;
    }
    return Count - remaining;
}

int32_t TPWBufferedStream::Write(const void* Buffer, int32_t Count) {
    Sync();
    const auto* in = static_cast<const uint8_t*>(Buffer);
    int32_t remaining = Count;
    while (remaining > 0) {
        LoadWindowAtPosition();
        auto offset = static_cast<int32_t>(FPosition - FBufferStart);
        ZeroGapBefore(offset);
        int32_t n = std::min(remaining, FBufferLength - offset);
        std::memcpy(FWindow + offset, in + (Count - remaining), static_cast<size_t>(n));
        FBufferCurrentSize = std::max(FBufferCurrentSize, offset + n);
        FBufferMaxModifiedPos = std::max(FBufferMaxModifiedPos, offset + n);
        FPosition += n;
        remaining -= n;
    }
    return Count;
}

int64_t TPWBufferedStream::GetBufferedSize() {
    Sync();
    int64_t inner = FStream ? FStream->GetSize() : 0;
    // Only pending bytes count: a window reloaded past the end (by a read there)
    // holds none and must not stretch the size to its start.
    if (FBufferMaxModifiedPos == 0)
        return inner;
    return std::max(inner, FBufferStart + FBufferMaxModifiedPos);
}

int64_t TPWBufferedStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    Sync();
    int64_t target;
    switch (Origin) {
    case soBeginning: target = Offset; break;
    case soCurrent: target = FPosition + Offset; break;
    case soEnd: target = GetBufferedSize() + Offset; break;
    default: return -1;
    }
    if (target < 0) return -1;
    FPosition = target;
    return FPosition;
}

void TPWBufferedStream::SetSize(int64_t NewSize) {
    Sync();
    TPWStreamDecorator::SetSize(NewSize);
    if (NewSize < FBufferStart + FBufferMaxModifiedPos)
        FBufferMaxModifiedPos = static_cast<int32_t>(std::max<int64_t>(0, NewSize - FBufferStart));
    if (NewSize < FBufferStart + FBufferCurrentSize)
        FBufferCurrentSize = static_cast<int32_t>(std::max<int64_t>(0, NewSize - FBufferStart));
    if (FStream) FPosition = FStream->Position();
}

} // namespace pwnet
