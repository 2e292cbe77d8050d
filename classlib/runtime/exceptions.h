// The class library's exceptions. Every error that the library raises is an
// Exception (a message and a help context); callers catch the specific kinds:
// list index, interface cast, conversion and assignment errors, stream and
// property errors, operating-system errors. EAbort is the silent exception
// that the application's error display ignores.
#pragma once

#include "classlib/runtime/object.h"

#include <exception>
#include <string>

class Exception : public TObject, public std::exception {
public:
    explicit Exception(std::wstring message, int helpContext = 0);

    const std::wstring& Message() const noexcept { return FMessage; }
    void SetMessage(std::wstring message);
    int HelpContext() const noexcept { return FHelpContext; }
    void SetHelpContext(int value) noexcept { FHelpContext = value; }

    // The message in UTF-8, for std::exception users.
    const char* what() const noexcept override;

private:
    std::wstring FMessage;
    std::string FWhat;
    int FHelpContext = 0;
};

// Raised by Abort(); the default error display shows nothing for it.
class EAbort : public Exception {
public:
    EAbort();
};
[[noreturn]] void Abort();

// An index outside a list, or a list used wrongly.
class EListError : public Exception {
public:
    using Exception::Exception;
};

// An interface reference that does not answer the interface asked for.
class EIntfCastError : public Exception {
public:
    using Exception::Exception;
};

// A text that is not a valid number or date, or a value of the wrong kind.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// An Assign between two classes that do not know each other.
class EAssignError : public EConvertError {
public:
    using EConvertError::EConvertError;
};

// Streams: a short read or write, a failed seek or resize.
class EStreamError : public Exception {
public:
    using Exception::Exception;
};
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// Published properties: an unknown property, handler or class, or a value
// of the wrong kind for the property.
class EPropertyError : public Exception {
public:
    using Exception::Exception;
};

// Components: a duplicate or invalid name.
class EComponentError : public Exception {
public:
    using Exception::Exception;
};

// Threads: creating or using a thread wrongly.
class EThread : public Exception {
public:
    using Exception::Exception;
};

// A call that is not allowed in the object's current state.
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

// A failed platform call; ErrorCode keeps the system error code.
class EOSError : public Exception {
public:
    EOSError(std::wstring message, unsigned long errorCode);
    unsigned long ErrorCode() const noexcept { return FErrorCode; }

private:
    unsigned long FErrorCode;
};

// Raises EOSError with the system's text for code (GetLastError() when 0
// is given and no code is known). Never returns.
[[noreturn]] void RaiseLastOSError();
// The system's text for an error code (FormatMessage), without the line
// break it ends with; empty when the system has none.
std::wstring SysErrorMessage(unsigned long errorCode);
[[noreturn]] void RaiseOSError(unsigned long errorCode);
