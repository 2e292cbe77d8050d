// The published-property table: for each class, the properties a window
// description may set by name, the event handlers (methods) its events may
// be bound to by name, and the published fields that receive the components
// a description creates.
//
// A class publishes its table like this:
//
//   class TMyTimer : public TComponent {
//   public:
//       const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
//       static const TPropertyTable& ClassProperties() {
//           static const TPropertyTable table =
//               TPropertyTableBuilder<TMyTimer>(L"TMyTimer", &TComponent::ClassProperties())
//                   .Integer(L"Interval", &TMyTimer::Interval, &TMyTimer::SetInterval, 1000)
//                   .Boolean(L"Enabled", &TMyTimer::Enabled, &TMyTimer::SetEnabled, true)
//                   .Enumeration(L"Mode", {L"mdOne", L"mdTwo"}, &TMyTimer::FMode)
//                   .Event(L"OnTimer", &TMyTimer::OnTimer)
//                   .Build();
//           return table;
//       }
//   };
//
// and a form publishes its handlers and component fields:
//
//       .Method(L"TimerTick", &TForm1::TimerTick)        // void TimerTick(TObject* Sender)
//       .Field(L"Timer1", &TForm1::Timer1)               // TMyTimer* Timer1
//
// Getters and setters may be member functions or data members. Lookups are
// case-insensitive and include the parent tables. SetPropertyValue sets a
// property (or "Sub.Property" of a published object) from a description
// value; an event takes the name of a handler of the root component.
#pragma once

#include "classlib/runtime/exceptions.h"
#include "classlib/runtime/persistent.h"

#include <any>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

class TComponent;

enum class TPropertyKind {
    Integer,      // whole number (also characters and colours)
    Float,        // floating point
    Boolean,      // True / False
    String,       // text
    Enumeration,  // one of a list of names, stored as its index
    Set,          // a subset of a list of names, stored as a bit mask
    Event,        // a method of the root component, bound by handler name
    Component,    // a reference to another component, by name
    Object,       // a published sub-object ("Font", "Items"); set through its own table
    Strings,      // a list of texts
};

// Values as a description carries them.
struct TIdent {  // an identifier: True, gmCapture, a component or handler name
    std::wstring Name;
};
struct TSetValue {  // [a, b]
    std::vector<std::wstring> Items;
};
struct TStringsValue {  // ('a' 'b')
    std::vector<std::wstring> Items;
};
struct TBinaryValue {  // {0A1B...}
    std::vector<uint8_t> Bytes;
};
using TPropertyValue =
    std::variant<std::monostate, int64_t, double, bool, std::wstring, TIdent, TSetValue, TStringsValue, TBinaryValue>;

// One published property.
struct TPropInfo {
    std::wstring Name;
    TPropertyKind Kind = TPropertyKind::Integer;
    std::vector<std::wstring> Names;        // Enumeration and Set: value names in order
    std::optional<TPropertyValue> Default;  // the stored default, if any
    // Sets the property from a value; Root resolves handler and component names.
    std::function<void(TPersistent& Instance, const TPropertyValue& Value, TComponent* Root)> Set;
    // Reads the property (events: TIdent of nothing, or a bool whether assigned).
    std::function<TPropertyValue(const TPersistent& Instance)> Get;
    // Object kind: the published sub-object.
    std::function<TPersistent*(TPersistent& Instance)> GetObject;
};

// A published method: binds to an instance and yields a std::function of the
// method's own signature, wrapped in std::any.
struct TMethodInfo {
    std::wstring Name;
    std::function<std::any(TPersistent& Instance)> Bind;
};

// A published field that takes a component of the description by name.
struct TFieldInfo {
    std::wstring Name;
    // Stores the component; false when it is not of the field's class.
    std::function<bool(TPersistent& Instance, TComponent* Component)> Assign;
};

class TPropertyTable {
public:
    TPropertyTable(std::wstring className, const TPropertyTable* parent, std::vector<TPropInfo> properties,
                   std::vector<TMethodInfo> methods, std::vector<TFieldInfo> fields);

    const std::wstring& ClassName() const noexcept { return FClassName; }
    const TPropertyTable* Parent() const noexcept { return FParent; }
    // This class's own entries (without the parents').
    const std::vector<TPropInfo>& OwnProperties() const noexcept { return FProperties; }
    // All properties, the parents' first, in declaration order.
    std::vector<const TPropInfo*> AllProperties() const;

    const TPropInfo* FindProperty(std::wstring_view name) const;
    const TMethodInfo* FindMethod(std::wstring_view name) const;
    const TFieldInfo* FindField(std::wstring_view name) const;

private:
    std::wstring FClassName;
    const TPropertyTable* FParent;
    std::vector<TPropInfo> FProperties;
    std::vector<TMethodInfo> FMethods;
    std::vector<TFieldInfo> FFields;
};

// Sets Path ("Interval", "Font.Name", "Items.Strings") of Instance. A binary
// value whose name is not in the table goes to the binary properties the
// object defines (DefineProperties). Raises EPropertyError for an unknown
// property or handler and for a value of the wrong kind.
void SetPropertyValue(TPersistent& Instance, std::wstring_view Path, const TPropertyValue& Value,
                      TComponent* Root = nullptr);
TPropertyValue GetPropertyValue(const TPersistent& Instance, std::wstring_view Path);
// Binds Root's published handler HandlerName to Instance's event property.
void BindEvent(TPersistent& Instance, std::wstring_view EventName, TComponent& Root, std::wstring_view HandlerName);
// Stores Component in Root's published field of the same name (if any).
// EPropertyError when the field exists but is of another class.
bool BindPublishedField(TComponent& Root, TComponent& Component);

namespace property_detail {
[[noreturn]] void WrongKind(const std::wstring& name, const char* expected);
[[noreturn]] void WrongHandler(const std::wstring& event, const std::wstring& handler);
TComponent* FindRootComponent(TComponent* root, const std::wstring& name);
// Root's published method `name` bound to Root; EPropertyError when none.
std::any BindRootMethod(TComponent* root, const std::wstring& name);
std::wstring ComponentName(const TComponent* c);
int64_t IndexOfName(const std::vector<std::wstring>& names, const std::wstring& name, const std::wstring& prop);
bool ToBool(const TPropertyValue& v, const std::wstring& name);
int64_t ToInteger(const TPropertyValue& v, const std::wstring& name);
double ToFloat(const TPropertyValue& v, const std::wstring& name);
std::wstring ToString(const TPropertyValue& v, const std::wstring& name);
TComponent* AsComponent(TPersistent& p);  // nullptr when p is no component

template <class T, class G>
decltype(auto) CallGet(const G& get, const T& obj) {
    return std::invoke(get, obj);
}
template <class T, class S, class V>
void CallSet(const S& set, T& obj, V&& v) {
    if constexpr (std::is_member_object_pointer_v<S>) {
        obj.*set = std::forward<V>(v);
    } else {
        std::invoke(set, obj, std::forward<V>(v));
    }
}
template <class F>
struct MethodTraits;
template <class C, class R, class... A>
struct MethodTraits<R (C::*)(A...)> {
    using Class = C;
    using Function = std::function<R(A...)>;
};
}  // namespace property_detail

namespace property_detail {
// An accessor: a member pointer or something callable, not a default value.
template <class S>
concept Accessor = !std::is_arithmetic_v<S> && !std::is_enum_v<S>;
}  // namespace property_detail

template <class T>
class TPropertyTableBuilder {
public:
    TPropertyTableBuilder(std::wstring className, const TPropertyTable* parent)
        : FClassName(std::move(className)), FParent(parent) {}

    template <class G, property_detail::Accessor S>
    TPropertyTableBuilder& Integer(std::wstring name, G get, S set, std::optional<int64_t> def = std::nullopt) {
        TPropInfo p = Make(name, TPropertyKind::Integer);
        if (def) p.Default = TPropertyValue(*def);
        p.Set = [set, name](TPersistent& o, const TPropertyValue& v, TComponent*) {
            using V = std::decay_t<decltype(property_detail::CallGet(std::declval<G>(), std::declval<const T&>()))>;
            const int64_t raw = property_detail::ToInteger(v, name);
            if constexpr (std::is_integral_v<V> && !std::is_same_v<V, bool>) {
                if (!std::in_range<V>(raw)) property_detail::WrongKind(name, "an integer within the property's range");
            }
            property_detail::CallSet(set, Self(o), static_cast<V>(raw));
        };
        p.Get = [get](const TPersistent& o) {
            return TPropertyValue(static_cast<int64_t>(property_detail::CallGet(get, Self(o))));
        };
        return Add(std::move(p));
    }
    template <class F>
    TPropertyTableBuilder& Integer(std::wstring name, F field, std::optional<int64_t> def = std::nullopt) {
        return Integer(std::move(name), field, field, def);
    }

    template <class G, property_detail::Accessor S>
    TPropertyTableBuilder& Float(std::wstring name, G get, S set) {
        return Add(Converted(std::move(name), TPropertyKind::Float, get, set, &property_detail::ToFloat,
                             [](const auto& x) { return static_cast<double>(x); }));
    }
    template <class F>
    TPropertyTableBuilder& Float(std::wstring name, F field) {
        return Float(std::move(name), field, field);
    }

    template <class G, property_detail::Accessor S>
    TPropertyTableBuilder& Boolean(std::wstring name, G get, S set, std::optional<bool> def = std::nullopt) {
        TPropInfo p = Converted(std::move(name), TPropertyKind::Boolean, get, set, &property_detail::ToBool,
                                [](const auto& x) { return static_cast<bool>(x); });
        if (def) p.Default = TPropertyValue(*def);
        return Add(std::move(p));
    }
    template <class F>
    TPropertyTableBuilder& Boolean(std::wstring name, F field, std::optional<bool> def = std::nullopt) {
        return Boolean(std::move(name), field, field, def);
    }

    template <class G, property_detail::Accessor S>
    TPropertyTableBuilder& String(std::wstring name, G get, S set) {
        return Add(Converted(std::move(name), TPropertyKind::String, get, set, &property_detail::ToString,
                             [](const auto& x) { return std::wstring(x); }));
    }
    template <class F>
    TPropertyTableBuilder& String(std::wstring name, F field) {
        return String(std::move(name), field, field);
    }

    // An enumeration: names[i] stands for the value i of the property's type.
    template <class G, property_detail::Accessor S>
    TPropertyTableBuilder& Enumeration(std::wstring name, std::vector<std::wstring> names, G get, S set,
                                       std::optional<int64_t> def = std::nullopt) {
        TPropInfo p = Make(name, TPropertyKind::Enumeration);
        p.Names = names;
        if (def) p.Default = TPropertyValue(TIdent{names.at(static_cast<size_t>(*def))});
        p.Set = [set, name, names](TPersistent& o, const TPropertyValue& v, TComponent*) {
            using V = std::decay_t<decltype(property_detail::CallGet(std::declval<G>(), std::declval<const T&>()))>;
            int64_t index;
            if (const TIdent* id = std::get_if<TIdent>(&v))
                index = property_detail::IndexOfName(names, id->Name, name);
            else
                index = property_detail::ToInteger(v, name);
            if (index < 0 || index >= static_cast<int64_t>(names.size()))
                property_detail::WrongKind(name, "one of its names");
            property_detail::CallSet(set, Self(o), static_cast<V>(index));
        };
        p.Get = [get, names](const TPersistent& o) {
            const auto index = static_cast<int64_t>(property_detail::CallGet(get, Self(o)));
            if (index < 0 || index >= static_cast<int64_t>(names.size())) return TPropertyValue(index);
            return TPropertyValue(TIdent{names[static_cast<size_t>(index)]});
        };
        return Add(std::move(p));
    }
    template <class F>
    TPropertyTableBuilder& Enumeration(std::wstring name, std::vector<std::wstring> names, F field,
                                       std::optional<int64_t> def = std::nullopt) {
        return Enumeration(std::move(name), std::move(names), field, field, def);
    }

    // A set: bit i of the mask stands for names[i].
    template <class G, property_detail::Accessor S>
    TPropertyTableBuilder& Set(std::wstring name, std::vector<std::wstring> names, G get, S set) {
        TPropInfo p = Make(name, TPropertyKind::Set);
        p.Names = names;
        p.Set = [set, name, names](TPersistent& o, const TPropertyValue& v, TComponent*) {
            using V = std::decay_t<decltype(property_detail::CallGet(std::declval<G>(), std::declval<const T&>()))>;
            uint64_t mask = 0;
            if (const TSetValue* s = std::get_if<TSetValue>(&v)) {
                for (const auto& item : s->Items) {
                    const int64_t bit = property_detail::IndexOfName(names, item, name);
                    if (bit >= static_cast<int64_t>(sizeof(V) * 8) || bit >= 64)
                        property_detail::WrongKind(name, "a set that fits its type");
                    mask |= uint64_t(1) << bit;
                }
            } else {
                mask = static_cast<uint64_t>(property_detail::ToInteger(v, name));
            }
            property_detail::CallSet(set, Self(o), static_cast<V>(mask));
        };
        p.Get = [get, names](const TPersistent& o) {
            const auto mask = static_cast<uint64_t>(property_detail::CallGet(get, Self(o)));
            TSetValue s;
            for (size_t i = 0; i < names.size() && i < 64; ++i)
                if (mask & (uint64_t(1) << i)) s.Items.push_back(names[i]);
            return TPropertyValue(std::move(s));
        };
        return Add(std::move(p));
    }
    template <class F>
    TPropertyTableBuilder& Set(std::wstring name, std::vector<std::wstring> names, F field) {
        return Set(std::move(name), std::move(names), field, field);
    }

    // An event held in a std::function member (or set through a setter that
    // takes one). It is bound by the name of a published method of the root
    // whose signature matches exactly.
    template <class Fn>
    TPropertyTableBuilder& Event(std::wstring name, std::function<Fn> T::*field) {
        return Event(std::move(name), field, field);
    }

    // An event read and written through accessors; the getter returns the
    // std::function, the setter takes one.
    template <class G, property_detail::Accessor S>
    TPropertyTableBuilder& Event(std::wstring name, G get, S set) {
        using F = std::decay_t<decltype(property_detail::CallGet(std::declval<G>(), std::declval<const T&>()))>;
        TPropInfo p = Make(name, TPropertyKind::Event);
        p.Set = [set, name](TPersistent& o, const TPropertyValue& v, TComponent* root) {
            if (std::holds_alternative<std::monostate>(v)) {
                property_detail::CallSet(set, Self(o), F());
                return;
            }
            const std::wstring handler = property_detail::ToString(v, name);
            std::any bound = property_detail::BindRootMethod(root, handler);
            auto* fn = std::any_cast<F>(&bound);
            if (!fn) property_detail::WrongHandler(name, handler);
            property_detail::CallSet(set, Self(o), std::move(*fn));
        };
        p.Get = [get](const TPersistent& o) {
            return TPropertyValue(static_cast<bool>(property_detail::CallGet(get, Self(o))));
        };
        return Add(std::move(p));
    }

    // A reference to another component of the description, by its name.
    template <class C, class G, class S>
    TPropertyTableBuilder& Component(std::wstring name, G get, S set) {
        TPropInfo p = Make(name, TPropertyKind::Component);
        p.Set = [set, name](TPersistent& o, const TPropertyValue& v, TComponent* root) {
            C* target = nullptr;
            if (!std::holds_alternative<std::monostate>(v)) {
                TComponent* found = property_detail::FindRootComponent(root, property_detail::ToString(v, name));
                target = dynamic_cast<C*>(found);
                if (!target) property_detail::WrongKind(name, "a component of the property's class");
            }
            property_detail::CallSet(set, Self(o), target);
        };
        p.Get = [get](const TPersistent& o) {
            auto* c = property_detail::CallGet(get, Self(o));
            return c ? TPropertyValue(TIdent{property_detail::ComponentName(c)}) : TPropertyValue();
        };
        return Add(std::move(p));
    }

    // A published sub-object whose own properties are set through its table.
    template <class G>
    TPropertyTableBuilder& Object(std::wstring name, G get) {
        TPropInfo p = Make(name, TPropertyKind::Object);
        p.GetObject = [get](TPersistent& o) -> TPersistent* {
            auto&& r = std::invoke(get, Self(o));
            if constexpr (std::is_pointer_v<std::decay_t<decltype(r)>>)
                return r;
            else
                return &r;
        };
        p.Set = [name](TPersistent&, const TPropertyValue&, TComponent*) {
            property_detail::WrongKind(name, "sub-properties");
        };
        p.Get = [](const TPersistent&) { return TPropertyValue(); };
        return Add(std::move(p));
    }

    // A list of texts given as a vector (getter returns it, setter takes it).
    template <class G, property_detail::Accessor S>
    TPropertyTableBuilder& Strings(std::wstring name, G get, S set) {
        TPropInfo p = Make(name, TPropertyKind::Strings);
        p.Set = [set, name](TPersistent& o, const TPropertyValue& v, TComponent*) {
            const TStringsValue* s = std::get_if<TStringsValue>(&v);
            if (!s) property_detail::WrongKind(name, "a list of texts");
            property_detail::CallSet(set, Self(o), s->Items);
        };
        p.Get = [get](const TPersistent& o) {
            return TPropertyValue(TStringsValue{property_detail::CallGet(get, Self(o))});
        };
        return Add(std::move(p));
    }

    // A handler that events may be bound to by name.
    template <class M>
    TPropertyTableBuilder& Method(std::wstring name, M method) {
        using Traits = property_detail::MethodTraits<M>;
        using Fn = typename Traits::Function;
        FMethods.push_back(TMethodInfo{std::move(name), [method](TPersistent& o) {
                                           T* self = &Self(o);
                                           return std::any(Fn([self, method](auto&&... a) {
                                               return (self->*method)(std::forward<decltype(a)>(a)...);
                                           }));
                                       }});
        return *this;
    }

    // A field that receives the description's component of the same name.
    template <class C>
    TPropertyTableBuilder& Field(std::wstring name, C* T::*field) {
        FFields.push_back(TFieldInfo{std::move(name), [field](TPersistent& o, TComponent* c) {
                                         C* typed = dynamic_cast<C*>(c);
                                         if (c && !typed) return false;
                                         Self(o).*field = typed;
                                         return true;
                                     }});
        return *this;
    }

    TPropertyTable Build() {
        return TPropertyTable(std::move(FClassName), FParent, std::move(FProperties), std::move(FMethods),
                              std::move(FFields));
    }

private:
    static T& Self(TPersistent& o) { return dynamic_cast<T&>(o); }
    static const T& Self(const TPersistent& o) { return dynamic_cast<const T&>(o); }
    static TPropInfo Make(const std::wstring& name, TPropertyKind kind) {
        TPropInfo p;
        p.Name = name;
        p.Kind = kind;
        return p;
    }
    // A property whose setter takes what `in` makes of the value given and
    // whose getter hands out what `out` makes of the object's value.
    template <class G, class S, class In, class Out>
    static TPropInfo Converted(std::wstring name, TPropertyKind kind, G get, S set, In in, Out out) {
        TPropInfo p = Make(name, kind);
        p.Set = [set, name, in](TPersistent& o, const TPropertyValue& v, TComponent*) {
            property_detail::CallSet(set, Self(o), in(v, name));
        };
        p.Get = [get, out](const TPersistent& o) {
            return TPropertyValue(out(property_detail::CallGet(get, Self(o))));
        };
        return p;
    }
    TPropertyTableBuilder& Add(TPropInfo p) {
        FProperties.push_back(std::move(p));
        return *this;
    }

    std::wstring FClassName;
    const TPropertyTable* FParent;
    std::vector<TPropInfo> FProperties;
    std::vector<TMethodInfo> FMethods;
    std::vector<TFieldInfo> FFields;
};
