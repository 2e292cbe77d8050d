// One guard for the rule that no C++ exception leaves a COM method (the
// caller may be C, another runtime, or the system): the method's work runs
// inside, and an exception becomes the method's failure code.
#pragma once

#include <windows.h>

#include <exception>
#include <new>
#include <utility>

// Runs body, which answers the method's HRESULT. Running out of memory
// answers E_OUTOFMEMORY; any other exception answers failure, the code the
// method documents for a failure of its own (E_UNEXPECTED where it names
// none).
template <class Body>
HRESULT ComGuard(HRESULT failure, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return failure;
    }
}

// The same, for a method whose work is the caller's code (an event handler):
// every exception is handed to report, which shows it and must not throw,
// and answers failure.
template <class Body, class Report>
HRESULT ComGuard(HRESULT failure, Body&& body, Report&& report) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        report(std::current_exception());
        return failure;
    }
}
