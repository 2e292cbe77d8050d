// Published-property tables and setting properties by name.
#include "classlib/runtime/properties.h"

#include "classlib/runtime/component.h"
#include "classlib/runtime/text.h"

TPropertyTable::TPropertyTable(std::wstring className, const TPropertyTable* parent, std::vector<TPropInfo> properties,
                               std::vector<TMethodInfo> methods, std::vector<TFieldInfo> fields)
    : FClassName(std::move(className)),
      FParent(parent),
      FProperties(std::move(properties)),
      FMethods(std::move(methods)),
      FFields(std::move(fields)) {}

std::vector<const TPropInfo*> TPropertyTable::AllProperties() const {
    std::vector<const TPropInfo*> all = FParent ? FParent->AllProperties() : std::vector<const TPropInfo*>{};
    for (const TPropInfo& p : FProperties) {
        // A redeclared property replaces the parent's entry in place.
        bool replaced = false;
        for (auto& existing : all) {
            if (SameText(existing->Name, p.Name)) {
                existing = &p;
                replaced = true;
                break;
            }
        }
        if (!replaced) all.push_back(&p);
    }
    return all;
}

const TPropInfo* TPropertyTable::FindProperty(std::wstring_view name) const {
    for (const TPropertyTable* t = this; t; t = t->FParent)
        for (const TPropInfo& p : t->FProperties)
            if (SameText(p.Name, name)) return &p;
    return nullptr;
}

const TMethodInfo* TPropertyTable::FindMethod(std::wstring_view name) const {
    for (const TPropertyTable* t = this; t; t = t->FParent)
        for (const TMethodInfo& m : t->FMethods)
            if (SameText(m.Name, name)) return &m;
    return nullptr;
}

const TFieldInfo* TPropertyTable::FindField(std::wstring_view name) const {
    for (const TPropertyTable* t = this; t; t = t->FParent)
        for (const TFieldInfo& f : t->FFields)
            if (SameText(f.Name, name)) return &f;
    return nullptr;
}

namespace property_detail {

void WrongKind(const std::wstring& name, const char* expected) {
    throw EPropertyError(L"Invalid value for property " + name + L": expected " + AnsiToWide(expected));
}

void WrongHandler(const std::wstring& event, const std::wstring& handler) {
    throw EPropertyError(L"Method " + handler + L" does not have the parameters of event " + event);
}

TComponent* FindRootComponent(TComponent* root, const std::wstring& name) {
    if (!root) throw EPropertyError(L"Cannot resolve component " + name + L" without a root component");
    if (SameText(root->Name(), name)) return root;
    TComponent* c = root->FindComponent(name);
    if (!c) throw EPropertyError(L"Component " + name + L" not found");
    return c;
}

std::any BindRootMethod(TComponent* root, const std::wstring& name) {
    if (!root) throw EPropertyError(L"Cannot bind handler " + name + L" without a root component");
    const TMethodInfo* m = root->PropertyTable().FindMethod(name);
    if (!m) throw EPropertyError(L"Method " + name + L" not found in " + root->ClassName());
    return m->Bind(*root);
}

std::wstring ComponentName(const TComponent* c) { return c ? c->Name() : std::wstring(); }

int64_t IndexOfName(const std::vector<std::wstring>& names, const std::wstring& name, const std::wstring& prop) {
    for (size_t i = 0; i < names.size(); ++i)
        if (SameText(names[i], name)) return static_cast<int64_t>(i);
    throw EPropertyError(L"Invalid value " + name + L" for property " + prop);
}

bool ToBool(const TPropertyValue& v, const std::wstring& name) {
    if (const bool* b = std::get_if<bool>(&v)) return *b;
    if (const TIdent* id = std::get_if<TIdent>(&v)) {
        if (SameText(id->Name, L"True")) return true;
        if (SameText(id->Name, L"False")) return false;
    }
    if (const int64_t* i = std::get_if<int64_t>(&v)) {
        if (*i == 0 || *i == 1) return *i != 0;
    }
    WrongKind(name, "True or False");
}

int64_t ToInteger(const TPropertyValue& v, const std::wstring& name) {
    if (const int64_t* i = std::get_if<int64_t>(&v)) return *i;
    if (const bool* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
    WrongKind(name, "an integer");
}

double ToFloat(const TPropertyValue& v, const std::wstring& name) {
    if (const double* d = std::get_if<double>(&v)) return *d;
    if (const int64_t* i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
    WrongKind(name, "a number");
}

std::wstring ToString(const TPropertyValue& v, const std::wstring& name) {
    if (const std::wstring* s = std::get_if<std::wstring>(&v)) return *s;
    if (const TIdent* id = std::get_if<TIdent>(&v)) return id->Name;
    WrongKind(name, "a text");
}

TComponent* AsComponent(TPersistent& p) { return dynamic_cast<TComponent*>(&p); }

}  // namespace property_detail

namespace {

// Walks "A.B.C" down to the object that holds C; returns C's name.
TPersistent& Descend(TPersistent& instance, std::wstring_view path, std::wstring& last) {
    TPersistent* current = &instance;
    size_t start = 0;
    for (;;) {
        const size_t dot = path.find(L'.', start);
        if (dot == std::wstring_view::npos) {
            last = std::wstring(path.substr(start));
            if (last.empty()) throw EPropertyError(L"Invalid property path " + std::wstring(path));
            return *current;
        }
        const std::wstring part(path.substr(start, dot - start));
        const TPropInfo* p = current->PropertyTable().FindProperty(part);
        if (!p || p->Kind != TPropertyKind::Object || !p->GetObject)
            throw EPropertyError(L"Property " + part + L" of " + current->ClassName() + L" has no sub-properties");
        TPersistent* next = p->GetObject(*current);
        if (!next) throw EPropertyError(L"Property " + part + L" of " + current->ClassName() + L" is not set");
        current = next;
        start = dot + 1;
    }
}

}  // namespace

void SetPropertyValue(TPersistent& Instance, std::wstring_view Path, const TPropertyValue& Value, TComponent* Root) {
    std::wstring name;
    TPersistent& target = Descend(Instance, Path, name);
    const TPropInfo* p = target.PropertyTable().FindProperty(name);
    if (!p) {
        if (const TBinaryValue* bin = std::get_if<TBinaryValue>(&Value)) {
            if (ReadBinaryProperty(target, name, bin->Bytes)) return;
        }
        throw EPropertyError(L"Property " + name + L" does not exist in " + target.ClassName());
    }
    if (!p->Set) throw EPropertyError(L"Property " + name + L" is read-only");
    p->Set(target, Value, Root);
}

TPropertyValue GetPropertyValue(const TPersistent& Instance, std::wstring_view Path) {
    std::wstring name;
    TPersistent& target = Descend(const_cast<TPersistent&>(Instance), Path, name);
    const TPropInfo* p = target.PropertyTable().FindProperty(name);
    if (!p) throw EPropertyError(L"Property " + name + L" does not exist in " + target.ClassName());
    if (!p->Get) return {};
    return p->Get(target);
}

void BindEvent(TPersistent& Instance, std::wstring_view EventName, TComponent& Root, std::wstring_view HandlerName) {
    std::wstring name;
    TPersistent& target = Descend(Instance, EventName, name);
    const TPropInfo* p = target.PropertyTable().FindProperty(name);
    if (!p || p->Kind != TPropertyKind::Event)
        throw EPropertyError(L"Event " + name + L" does not exist in " + target.ClassName());
    p->Set(target, TPropertyValue(TIdent{std::wstring(HandlerName)}), &Root);
}

bool BindPublishedField(TComponent& Root, TComponent& Component) {
    if (Component.Name().empty()) return false;
    const TFieldInfo* f = Root.PropertyTable().FindField(Component.Name());
    if (!f) return false;
    if (!f->Assign(Root, &Component))
        throw EPropertyError(L"Field " + f->Name + L" of " + Root.ClassName() + L" cannot hold a " +
                             Component.ClassName());
    return true;
}
