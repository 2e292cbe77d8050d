#include "classlib/ui/form_description.h"

#include "classlib/ui/controls.h"
#include "classlib/ui/ui_errors.h"

#include <cctype>
#include <cstdlib>
#include <memory>

namespace {

std::wstring Widen(std::string_view s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

std::wstring Located(std::wstring_view source, int line, const std::wstring& what) {
    return L"Form description \"" + std::wstring(source) + L"\", line " + std::to_wstring(line) + L": " + what;
}

enum class Tok { End, Ident, Integer, Float, String, Symbol };

struct Token {
    Tok Kind = Tok::End;
    std::string Text;  // identifier, symbol, or the number's text
    std::wstring Str;  // string value
    int Line = 1;
};

class Parser {
public:
    Parser(std::string_view text, std::wstring_view source) : T(text), Src(source) { Next(); }

    TFormDescNode ParseFile() {
        if (Cur.Kind == Tok::End) Fail(L"the description is empty");
        TFormDescNode root = ParseObject();
        if (Cur.Kind != Tok::End) Fail(L"unexpected " + Describe(Cur) + L" after the end of the form's block");
        return root;
    }

private:
    [[noreturn]] void Fail(const std::wstring& what) { FailAt(Cur.Line, what); }
    [[noreturn]] void FailAt(int line, const std::wstring& what) {
        throw EFormDescriptionError(Located(Src, line, what));
    }

    static std::wstring Describe(const Token& t) {
        switch (t.Kind) {
        case Tok::End:
            return L"end of text";
        case Tok::String:
            return L"text \"" + t.Str + L"\"";
        case Tok::Symbol:
            return L"'" + Widen(t.Text) + L"'";
        default:
            return L"\"" + Widen(t.Text) + L"\"";
        }
    }

    bool IsSymbol(const char* s) const { return Cur.Kind == Tok::Symbol && Cur.Text == s; }
    void Expect(const char* s) {
        if (!IsSymbol(s)) Fail(L"expected '" + Widen(s) + L"' but found " + Describe(Cur));
        Next();
    }

    TFormDescNode ParseObject() {
        constexpr int MaxDepth = 64;
        if (Depth >= MaxDepth) Fail(L"components are nested more than " + std::to_wstring(MaxDepth) + L" levels deep");
        struct DepthGuard {
            int& d;
            explicit DepthGuard(int& v) : d(v) { ++d; }
            ~DepthGuard() { --d; }
        } guard(Depth);
        TFormDescNode node;
        node.Line = Cur.Line;
        if (Cur.Kind != Tok::Ident) Fail(L"expected a class name but found " + Describe(Cur));
        node.ClassName = Widen(Cur.Text);
        Next();
        if (Cur.Kind == Tok::Ident) {
            node.Name = Widen(Cur.Text);
            Next();
        }
        if (!IsSymbol("{"))
            Fail(L"expected '{' after \"" + node.ClassName + (node.Name.empty() ? L"" : L" " + node.Name) +
                 L"\" but found " + Describe(Cur));
        Next();
        while (!IsSymbol("}")) {
            if (Cur.Kind == Tok::End)
                FailAt(node.Line, L"the block of \"" + (node.Name.empty() ? node.ClassName : node.Name) +
                                      L"\" is not closed with '}'");
            if (Cur.Kind != Tok::Ident) Fail(L"expected a property or a component but found " + Describe(Cur));
            if (PeekIsProperty()) {
                TFormDescProperty p = ParseProperty();
                for (const auto& q : node.Properties)
                    if (_wcsicmp(q.Path.c_str(), p.Path.c_str()) == 0)
                        FailAt(p.Line, L"property \"" + p.Path + L"\" is set twice (first on line " +
                                           std::to_wstring(q.Line) + L")");
                node.Properties.push_back(std::move(p));
            } else {
                node.Children.push_back(ParseObject());
            }
        }
        Next();
        return node;
    }

    // After an identifier: '=' or '.' make it a property path.
    bool PeekIsProperty() {
        size_t p = Pos;
        while (p < T.size()) {
            const char c = T[p];
            if (c == ' ' || c == '\t' || c == '\r') {
                ++p;
                continue;
            }
            return c == '=' || c == '.';
        }
        return false;
    }

    TFormDescProperty ParseProperty() {
        TFormDescProperty p;
        p.Line = Cur.Line;
        p.Path = Widen(Cur.Text);
        Next();
        while (IsSymbol(".")) {
            Next();
            if (Cur.Kind != Tok::Ident) Fail(L"expected a property name after '.' in \"" + p.Path + L"\"");
            p.Path += L"." + Widen(Cur.Text);
            Next();
        }
        if (!IsSymbol("=")) Fail(L"expected '=' after \"" + p.Path + L"\" but found " + Describe(Cur));
        if (Cur.Line != p.Line) Fail(L"'=' must stand on the line of \"" + p.Path + L"\"");
        Next();
        if (Cur.Line != p.Line && Cur.Kind != Tok::End) FailAt(p.Line, L"property \"" + p.Path + L"\" has no value");
        p.Value = ParseValue(p.Path);
        return p;
    }

    TPropertyValue ParseValue(const std::wstring& path) {
        const int line = Cur.Line;
        switch (Cur.Kind) {
        case Tok::Integer: {
            errno = 0;
            const std::string& s = Cur.Text;
            bool neg = s[0] == '-';
            std::string digits = s.substr(neg ? 1 : 0);
            int base = 10;
            if (digits.rfind("0x", 0) == 0 || digits.rfind("0X", 0) == 0) {
                digits = digits.substr(2);
                base = 16;
            } else if (!digits.empty() && digits[0] == '$') {
                digits = digits.substr(1);
                base = 16;
            }
            char* end = nullptr;
            unsigned long long v = std::strtoull(digits.c_str(), &end, base);
            if (digits.empty() || *end || errno == ERANGE || v > 0x7FFFFFFFFFFFFFFFull)
                FailAt(line, L"\"" + Widen(s) + L"\" is not a whole number in range for \"" + path + L"\"");
            Next();
            return TPropertyValue(neg ? -static_cast<int64_t>(v) : static_cast<int64_t>(v));
        }
        case Tok::Float: {
            char* end = nullptr;
            double d = std::strtod(Cur.Text.c_str(), &end);
            if (*end) FailAt(line, L"\"" + Widen(Cur.Text) + L"\" is not a number");
            Next();
            return TPropertyValue(d);
        }
        case Tok::String: {
            std::wstring s = Cur.Str;
            Next();
            return TPropertyValue(std::move(s));
        }
        case Tok::Ident: {
            std::string id = Cur.Text;
            Next();
            if (_stricmp(id.c_str(), "true") == 0) return TPropertyValue(true);
            if (_stricmp(id.c_str(), "false") == 0) return TPropertyValue(false);
            if (id == "hex" && IsSymbol("{")) return ParseHex(path);
            return TPropertyValue(TIdent{Widen(id)});
        }
        case Tok::Symbol:
            if (IsSymbol("[")) return ParseSet(path);
            if (IsSymbol("(")) return ParseStrings(path);
            [[fallthrough]];
        default:
            Fail(L"expected a value for \"" + path + L"\" but found " + Describe(Cur));
        }
    }

    TPropertyValue ParseSet(const std::wstring& path) {
        const int line = Cur.Line;
        Next();
        TSetValue set;
        while (!IsSymbol("]")) {
            if (Cur.Kind != Tok::Ident)
                FailAt(Cur.Kind == Tok::End ? line : Cur.Line,
                       L"expected a name or ']' in the set of \"" + path + L"\" but found " + Describe(Cur));
            set.Items.push_back(Widen(Cur.Text));
            Next();
            if (IsSymbol(",")) Next();
        }
        Next();
        return TPropertyValue(std::move(set));
    }

    TPropertyValue ParseStrings(const std::wstring& path) {
        const int line = Cur.Line;
        Next();
        TStringsValue list;
        while (!IsSymbol(")")) {
            if (Cur.Kind != Tok::String)
                FailAt(Cur.Kind == Tok::End ? line : Cur.Line,
                       L"expected a text or ')' in the list of \"" + path + L"\" but found " + Describe(Cur));
            list.Items.push_back(Cur.Str);
            Next();
            if (IsSymbol(",")) Next();
        }
        Next();
        return TPropertyValue(std::move(list));
    }

    // Reads the raw characters up to '}' (Cur is the '{').
    TPropertyValue ParseHex(const std::wstring& path) {
        const int startLine = Cur.Line;
        TBinaryValue bin;
        int high = -1;
        int line = Cur.Line;
        while (true) {
            if (Pos >= T.size()) FailAt(startLine, L"the bytes of \"" + path + L"\" are not closed with '}'");
            const char c = T[Pos++];
            if (c == '}') break;
            if (c == '\n') {
                ++line;
                continue;
            }
            if (c == ' ' || c == '\t' || c == '\r') continue;
            int v;
            if (c >= '0' && c <= '9')
                v = c - '0';
            else if (c >= 'a' && c <= 'f')
                v = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                v = c - 'A' + 10;
            else
                FailAt(line, L"'" + Widen(std::string(1, c)) + L"' is not a hexadecimal digit in the bytes of \"" +
                                 path + L"\"");
            if (high < 0) {
                high = v;
            } else {
                bin.Bytes.push_back(static_cast<uint8_t>(high * 16 + v));
                high = -1;
            }
        }
        if (high >= 0) FailAt(line, L"the bytes of \"" + path + L"\" have an odd number of hexadecimal digits");
        LineNo = line;
        Next();
        return TPropertyValue(std::move(bin));
    }

    void SkipBlanks() {
        while (Pos < T.size()) {
            const char c = T[Pos];
            if (c == '\n') {
                ++LineNo;
                ++Pos;
            } else if (c == ' ' || c == '\t' || c == '\r')
                ++Pos;
            else if (c == '#' || (c == '/' && Pos + 1 < T.size() && T[Pos + 1] == '/')) {
                while (Pos < T.size() && T[Pos] != '\n') ++Pos;
            } else
                break;
        }
    }

    void Next() {
        SkipBlanks();
        Cur = Token{};
        Cur.Line = LineNo;
        if (Pos >= T.size()) return;
        const char c = T[Pos];
        auto isIdStart = [](char ch) { return std::isalpha(static_cast<unsigned char>(ch)) || ch == '_'; };
        auto isId = [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_'; };
        if (isIdStart(c)) {
            size_t b = Pos;
            while (Pos < T.size() && isId(T[Pos])) ++Pos;
            Cur.Kind = Tok::Ident;
            Cur.Text = std::string(T.substr(b, Pos - b));
        } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '$' ||
                   (c == '-' && Pos + 1 < T.size() &&
                    (std::isdigit(static_cast<unsigned char>(T[Pos + 1])) || T[Pos + 1] == '$'))) {
            size_t b = Pos;
            ++Pos;
            bool isFloat = false;
            while (Pos < T.size()) {
                const char d = T[Pos];
                if (std::isalnum(static_cast<unsigned char>(d))) {
                    ++Pos;
                    continue;
                }
                if (d == '.' || ((d == '+' || d == '-') && (T[Pos - 1] == 'e' || T[Pos - 1] == 'E') &&
                                 T.substr(b, 2) != "0x" && T[b] != '$')) {
                    isFloat = isFloat || d == '.';
                    ++Pos;
                    continue;
                }
                break;
            }
            Cur.Text = std::string(T.substr(b, Pos - b));
            const bool hex = Cur.Text.find("0x") != std::string::npos || Cur.Text.find("0X") != std::string::npos ||
                             Cur.Text.find('$') != std::string::npos;
            Cur.Kind =
                (isFloat || (!hex && Cur.Text.find_first_of("eE") != std::string::npos)) ? Tok::Float : Tok::Integer;
        } else if (c == '"') {
            ++Pos;
            std::string raw;
            std::wstring out;
            auto flush = [&] {
                out += Widen(raw);
                raw.clear();
            };
            while (true) {
                if (Pos >= T.size() || T[Pos] == '\n') Fail(L"text is not closed with '\"'");
                const char d = T[Pos++];
                if (d == '"') break;
                if (d != '\\') {
                    raw += d;
                    continue;
                }
                if (Pos >= T.size()) Fail(L"text is not closed with '\"'");
                const char e = T[Pos++];
                switch (e) {
                case '"':
                    raw += '"';
                    break;
                case '\\':
                    raw += '\\';
                    break;
                case 'n':
                    raw += '\n';
                    break;
                case 'r':
                    raw += '\r';
                    break;
                case 't':
                    raw += '\t';
                    break;
                case 'u': {
                    if (Pos + 4 > T.size()) Fail(L"\\u needs four hexadecimal digits");
                    char* end = nullptr;
                    std::string hex(T.substr(Pos, 4));
                    unsigned long v = std::strtoul(hex.c_str(), &end, 16);
                    if (*end) Fail(L"\\u needs four hexadecimal digits");
                    Pos += 4;
                    flush();
                    out += static_cast<wchar_t>(v);
                    break;
                }
                default:
                    Fail(L"unknown escape \\" + Widen(std::string(1, e)) + L" in text");
                }
            }
            flush();
            Cur.Kind = Tok::String;
            Cur.Str = std::move(out);
        } else if (std::string_view("{}[]()=.,").find(c) != std::string_view::npos) {
            Cur.Kind = Tok::Symbol;
            Cur.Text = std::string(1, c);
            ++Pos;
        } else {
            Fail(L"unexpected character '" + Widen(std::string(1, c)) + L"'");
        }
    }

    std::string_view T;
    std::wstring_view Src;
    size_t Pos = 0;
    int LineNo = 1;
    int Depth = 0;
    Token Cur;
};

// ---- loading

struct Created {
    TComponent* Component;
    const TFormDescNode* Node;
};

class Loader {
public:
    Loader(TComponent& root, std::wstring_view source) : Root(root), Src(source) {}

    void Load(const TFormDescNode& desc) {
        if (_wcsicmp(desc.ClassName.c_str(), Root.ClassName().c_str()) != 0)
            throw EFormDescriptionError(Located(
                Src, desc.Line,
                L"the description is for class \"" + desc.ClassName + L"\", not for \"" + Root.ClassName() + L"\""));
        try {
            Root.Loading();
            if (!desc.Name.empty()) Guard(desc, nullptr, L"", [&] { Root.SetName(desc.Name); });
            SetProperties(Root, desc);
            for (const auto& child : desc.Children) CreateChild(child, dynamic_cast<TWinControl*>(&Root));
            // Every named component must have the form's field of its name.
            for (const Created& c : Made) {
                if (c.Node->Name.empty()) continue;
                bool bound = false;
                Guard(*c.Node, nullptr, L"", [&] { bound = BindPublishedField(Root, *c.Component); });
                if (!bound)
                    throw EFormDescriptionError(Located(Src, c.Node->Line,
                                                        Who(*c.Node) + L": the form \"" + Root.ClassName() +
                                                            L"\" has no field \"" + c.Node->Name + L"\""));
            }
        } catch (...) {
            // Nothing of a failed description stays.
            for (auto it = Made.rbegin(); it != Made.rend(); ++it) delete it->Component;
            Made.clear();
            if (Root.ComponentState() & csLoading) Root.Loaded();
            throw;
        }
        for (const Created& c : Made) c.Component->Loaded();
        Root.Loaded();
    }

private:
    std::wstring Who(const TFormDescNode& node) const {
        return L"component \"" + (node.Name.empty() ? std::wstring(L"(unnamed)") : node.Name) + L"\" (" +
               node.ClassName + L")";
    }

    template <class F>
    void Guard(const TFormDescNode& node, const TFormDescProperty* prop, const std::wstring& what, F&& f) {
        try {
            f();
        } catch (const EFormDescriptionError&) {
            throw;
        } catch (const Exception& e) {
            std::wstring msg = Who(node);
            if (prop) msg += L", property \"" + prop->Path + L"\"";
            if (!what.empty()) msg += L", " + what;
            throw EFormDescriptionError(Located(Src, prop ? prop->Line : node.Line, msg + L": " + e.Message()));
        } catch (const std::exception& e) {
            std::wstring msg = Who(node);
            if (prop) msg += L", property \"" + prop->Path + L"\"";
            throw EFormDescriptionError(Located(Src, prop ? prop->Line : node.Line, msg + L": " + Widen(e.what())));
        }
    }

    void SetProperties(TComponent& target, const TFormDescNode& node) {
        for (const auto& p : node.Properties) {
            Guard(node, &p, L"", [&] {
                if (_wcsicmp(p.Path.c_str(), L"Name") == 0)
                    throw EPropertyError(L"the name is given after the class name, not as a property");
                SetPropertyValue(target, p.Path, p.Value, &Root);
            });
        }
    }

    void CreateChild(const TFormDescNode& node, TWinControl* parent) {
        const TComponentClass* cls = FindComponentClass(node.ClassName);
        if (!cls)
            throw EFormDescriptionError(
                Located(Src, node.Line, Who(node) + L": class \"" + node.ClassName + L"\" is not known"));
        TComponent* comp = nullptr;
        Guard(node, nullptr, L"", [&] { comp = cls->Create(&Root); });
        Made.push_back({comp, &node});
        comp->Loading();
        if (!node.Name.empty()) Guard(node, nullptr, L"", [&] { comp->SetName(node.Name); });
        auto* control = dynamic_cast<TControl*>(comp);
        if (control && parent) Guard(node, nullptr, L"", [&] { control->SetParent(parent); });
        SetProperties(*comp, node);
        auto* container = dynamic_cast<TWinControl*>(comp);
        if (container && !container->AcceptsControls()) container = nullptr;
        for (const auto& child : node.Children) {
            if (!container)
                throw EFormDescriptionError(Located(Src, child.Line, Who(node) + L" cannot hold other controls"));
            CreateChild(child, container);
        }
    }

    TComponent& Root;
    std::wstring_view Src;
    std::vector<Created> Made;
};

}  // namespace

TFormDescNode ParseFormDescription(std::string_view Text, std::wstring_view Source) {
    // A UTF-8 byte-order mark at the start is allowed.
    if (Text.size() >= 3 && static_cast<unsigned char>(Text[0]) == 0xEF &&
        static_cast<unsigned char>(Text[1]) == 0xBB && static_cast<unsigned char>(Text[2]) == 0xBF)
        Text.remove_prefix(3);
    if (!Text.empty() &&
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Text.data(), static_cast<int>(Text.size()), nullptr, 0) == 0)
        throw EFormDescriptionError(L"Form description \"" + std::wstring(Source) + L"\": the text is not valid UTF-8");
    Parser parser(Text, Source);
    return parser.ParseFile();
}

void LoadFormDescription(TComponent& Root, const TFormDescNode& Description, std::wstring_view Source) {
    Loader loader(Root, Source);
    loader.Load(Description);
}

void LoadFormDescription(TComponent& Root, std::string_view Text, std::wstring_view Source) {
    const TFormDescNode desc = ParseFormDescription(Text, Source);
    LoadFormDescription(Root, desc, Source);
}

std::string FormDescriptionResource(const std::wstring& ResourceName, HMODULE Module) {
    if (!Module) Module = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(Module, ResourceName.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL data = res ? LoadResource(Module, res) : nullptr;
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes)
        throw EFormDescriptionError(L"Form description \"" + ResourceName + L"\": no such resource in the program");
    return std::string(static_cast<const char*>(bytes), SizeofResource(Module, res));
}
