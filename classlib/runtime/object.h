// The root of the class library's object model. Every persistent object,
// component and exception knows the name of its most derived class, which
// error messages ("Cannot assign a TFoo to a TBar") and descriptions use.
#pragma once

#include <functional>
#include <string>
#include <typeinfo>

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = default;
    TObject& operator=(const TObject&) = default;
    virtual ~TObject() = default;

    // The unqualified name of the object's most derived class ("TTimer").
    std::wstring ClassName() const;
};

// The unqualified class name of a type, as ClassName() reports it.
std::wstring ClassNameOf(const std::type_info& type);

// The common event: something happened to Sender.
using TNotifyEvent = std::function<void(TObject* Sender)>;
