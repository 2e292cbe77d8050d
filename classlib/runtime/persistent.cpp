// Assignment between persistent objects and the binary-property filers.
#include "classlib/runtime/persistent.h"

#include "classlib/runtime/exceptions.h"
#include "classlib/runtime/properties.h"
#include "classlib/runtime/text.h"

#include <algorithm>
#include <utility>

namespace {
// The default assignment hands the call to Source->AssignTo(this); a Source
// whose AssignTo hands it back to our Assign would go round forever. The
// pairs in progress on this thread let the second round raise instead.
thread_local std::vector<std::pair<const TPersistent*, const TPersistent*>> tAssignsInProgress;
}  // namespace

void TPersistent::Assign(TPersistent* Source) {
    if (!Source) AssignError(nullptr);
    const auto pair = std::make_pair(static_cast<const TPersistent*>(Source), static_cast<const TPersistent*>(this));
    if (std::find(tAssignsInProgress.begin(), tAssignsInProgress.end(), pair) != tAssignsInProgress.end())
        AssignError(Source);
    tAssignsInProgress.push_back(pair);
    try {
        Source->AssignTo(this);
    } catch (...) {
        tAssignsInProgress.pop_back();
        throw;
    }
    tAssignsInProgress.pop_back();
}

void TPersistent::AssignTo(TPersistent* Dest) {
    if (!Dest) throw EAssignError(L"Cannot assign a " + ClassName() + L" to a nil");
    Dest->AssignError(this);
}

void TPersistent::DefineProperties(TFiler&) {}

void TPersistent::AssignError(const TPersistent* Source) const {
    const std::wstring source = Source ? Source->ClassName() : L"nil";
    throw EAssignError(L"Cannot assign a " + source + L" to a " + ClassName());
}

const TPropertyTable& TPersistent::ClassProperties() {
    static const TPropertyTable table(L"TPersistent", nullptr, {}, {}, {});
    return table;
}

const TPropertyTable& TPersistent::PropertyTable() const { return ClassProperties(); }

void TBinaryPropertyWriter::DefineBinaryProperty(const std::wstring& Name, const TStreamProc&,
                                                 const TStreamProc& WriteData, bool HasData) {
    if (!HasData || !WriteData) return;
    TMemoryStream stream;
    WriteData(stream);
    FProperties.push_back(TBinaryProperty{Name, stream.Bytes()});
}

void TBinaryPropertyReader::DefineBinaryProperty(const std::wstring& Name, const TStreamProc& ReadData,
                                                 const TStreamProc&, bool) {
    if (!ReadData) return;
    for (const TBinaryProperty& value : FValues) {
        if (!SameText(value.Name, Name)) continue;
        TMemoryStream stream;
        if (!value.Data.empty()) stream.WriteBuffer(value.Data.data(), static_cast<int64_t>(value.Data.size()));
        stream.SetPosition(0);
        ReadData(stream);
        FRead.push_back(Name);
        return;
    }
}

std::vector<TBinaryProperty> WriteBinaryProperties(TPersistent& Instance, TPersistent* Ancestor) {
    TBinaryPropertyWriter writer(Ancestor);
    Instance.DefinePropertiesWith(writer);
    return writer.Properties();
}

bool ReadBinaryProperty(TPersistent& Instance, const std::wstring& Name, const std::vector<uint8_t>& Data) {
    TBinaryPropertyReader reader({TBinaryProperty{Name, Data}});
    Instance.DefinePropertiesWith(reader);
    return !reader.ReadNames().empty();
}
