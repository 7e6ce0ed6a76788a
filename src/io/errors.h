#pragma once
// The error classes of the whole system. Library code raises them with fixed
// English messages; each front end catches them at one boundary and shows the
// message (a message box in the window, stderr and an exit code in the CLI).

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Stream errors.
class EStreamError : public Exception {
public:
    using Exception::Exception;
};
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
// A write that failed. Its message stays the stream's own ("Stream write error"); where
// the failing file is known, FileName and Reason say which file and why, and
// Description puts them in the words a user sees.
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
    EWriteError(const std::string& Message, std::string FileName, std::string Reason)
        : EStreamError(Message), FFileName(std::move(FileName)), FReason(std::move(Reason)) {}

    const std::string& FileName() const { return FFileName; }
    const std::string& Reason() const { return FReason; }
    // "Cannot write file "<FileName>": <Reason>"; the message itself when no file is known.
    std::string Description() const {
        if (FFileName.empty())
            return what();
        return "Cannot write file \"" + FFileName + "\": " + (FReason.empty() ? what() : FReason);
    }

private:
    std::string FFileName;
    std::string FReason;
};
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// A failed operating-system call, with its error number.
class EOSError : public Exception {
public:
    EOSError(int errorCode, const std::string& message)
        : Exception(message), ErrorCode(errorCode) {}
    int ErrorCode;
};

// A file that cannot be created or written by the plain file routines.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

// An index outside the valid range.
class ERangeError : public Exception {
public:
    ERangeError() : Exception("Range check error") {}
    using Exception::Exception;
};

// The map display toolkit's error, with a kind telling malformed object data apart.
enum TCEErrorKind { ceGeneral = 0, ceDataFormatError = 1 };
class CEError : public Exception {
public:
    explicit CEError(const std::string& message, TCEErrorKind kind = ceGeneral)
        : Exception(message), Kind(kind) {}
    TCEErrorKind Kind;
};
