// The check of a platform result: a failed HRESULT becomes an
// EDirectShowException whose message is the platform's text for the code
// followed by " ($XXXXXXXX).".
#pragma once

#include "classlib/runtime/exceptions.h"

#include <windows.h>

#include <string>

class EDirectShowException : public Exception {
public:
    using Exception::Exception;

    // The failed code.
    HRESULT ResultCode = S_OK;
};

// The platform's text for the code (AMGetErrorTextA, at most 255
// characters); empty when the platform knows no text for it.
std::wstring GetErrorText(HRESULT code);

// The message CheckDirectShowResult raises for a failed code.
std::wstring DirectShowErrorMessage(HRESULT code);

// Returns code unchanged unless bit 31 is set; raises EDirectShowException
// with ResultCode = code for a failure.
HRESULT CheckDirectShowResult(HRESULT code);
