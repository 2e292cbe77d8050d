// Class names and the library's exceptions.
#include "classlib/runtime/exceptions.h"
#include "classlib/runtime/object.h"
#include "classlib/runtime/text.h"
#include "shared/owner.h"

#include <windows.h>

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

std::wstring ClassNameOf(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                     std::free);
    std::string name = (status == 0 && demangled) ? demangled.get() : type.name();
    // Drop template arguments and namespaces: "ns::TFoo<int>" -> "TFoo".
    if (const auto lt = name.find('<'); lt != std::string::npos) name.erase(lt);
    if (const auto colon = name.rfind("::"); colon != std::string::npos) name.erase(0, colon + 2);
    return std::wstring(name.begin(), name.end());
}

std::wstring TObject::ClassName() const { return ClassNameOf(typeid(*this)); }

Exception::Exception(std::wstring message, int helpContext)
    : FMessage(std::move(message)), FWhat(WideToUtf8(FMessage)), FHelpContext(helpContext) {}

void Exception::SetMessage(std::wstring message) {
    FMessage = std::move(message);
    FWhat = WideToUtf8(FMessage);
}

const char* Exception::what() const noexcept { return FWhat.c_str(); }

EAbort::EAbort() : Exception(L"Operation aborted") {}

void Abort() { throw EAbort(); }

EOSError::EOSError(std::wstring message, unsigned long errorCode)
    : Exception(std::move(message)), FErrorCode(errorCode) {}

std::wstring SysErrorMessage(unsigned long code) {
    TLocalMem buffer;
    const DWORD n =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(buffer.Put()), 0, nullptr);
    std::wstring text;
    if (n && buffer) text.assign(static_cast<const wchar_t*>(buffer.Get()), n);
    return TrimRight(text);
}

void RaiseOSError(unsigned long errorCode) {
    std::wstring text = SysErrorMessage(errorCode);
    if (text.empty())
        text = Format(L"System Error.  Code: %d.", static_cast<int64_t>(errorCode));
    else
        text = Format(L"System Error.  Code: %d.\r\n%s", static_cast<int64_t>(errorCode), text);
    throw EOSError(std::move(text), errorCode);
}

void RaiseLastOSError() {
    const DWORD code = GetLastError();
    if (code == 0) throw EOSError(L"A call to an OS function failed", 0);
    RaiseOSError(code);
}
