// TPersistent: the streamable base class. Assign/AssignTo copy between
// objects (the default raises EAssignError "Cannot assign a X to a Y");
// DefineProperties declares properties that are not in the published table,
// such as binary blobs, through a TFiler.
//
// A filer is given the object's ancestor (the object the stored one is
// compared against, or none), and each DefineBinaryProperty call names a
// property, its reader and writer of a byte stream, and whether it has data
// worth storing (decided by the object against the filer's ancestor).
// TBinaryPropertyWriter collects the stored values; TBinaryPropertyReader
// feeds stored values back to the readers. A description loader uses them
// for values like "data" of a media type or a button's image.
#pragma once

#include "classlib/runtime/object.h"
#include "classlib/runtime/streams.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TFiler;
class TPropertyTable;

class TPersistent : public TObject {
public:
    // Copies Source into this object. The default hands the call to
    // Source->AssignTo(this); with no Source, or when neither class knows the
    // other, it raises EAssignError.
    virtual void Assign(TPersistent* Source);

    // The published properties of the object's class (see properties.h).
    virtual const TPropertyTable& PropertyTable() const;
    static const TPropertyTable& ClassProperties();

    // Runs DefineProperties with the given filer (for loaders and writers).
    void DefinePropertiesWith(TFiler& Filer) { DefineProperties(Filer); }

protected:
    // Copies this object into Dest; the default raises EAssignError.
    virtual void AssignTo(TPersistent* Dest);
    // Declares the properties this class streams itself; the default none.
    virtual void DefineProperties(TFiler& Filer);
    // Raises EAssignError naming Source's class (or "nil") and this class.
    [[noreturn]] void AssignError(const TPersistent* Source) const;
};

// The stream procedures of a defined property.
using TStreamProc = std::function<void(TStream& Stream)>;

class TFiler {
public:
    explicit TFiler(TPersistent* Ancestor = nullptr) : FAncestor(Ancestor) {}
    virtual ~TFiler() = default;
    TFiler(const TFiler&) = delete;
    TFiler& operator=(const TFiler&) = delete;

    // The object the streamed one is compared against; none when the whole
    // object is written.
    TPersistent* Ancestor() const noexcept { return FAncestor; }
    void SetAncestor(TPersistent* value) noexcept { FAncestor = value; }

    // Declares a property whose value is a block of bytes. The writer is
    // called only when HasData is true; the reader gets the stored bytes.
    virtual void DefineBinaryProperty(const std::wstring& Name, const TStreamProc& ReadData,
                                      const TStreamProc& WriteData, bool HasData) = 0;

private:
    TPersistent* FAncestor;
};

// One stored binary property.
struct TBinaryProperty {
    std::wstring Name;
    std::vector<uint8_t> Data;
};

// Collects the binary properties that have data, in declaration order.
class TBinaryPropertyWriter : public TFiler {
public:
    using TFiler::TFiler;
    void DefineBinaryProperty(const std::wstring& Name, const TStreamProc& ReadData, const TStreamProc& WriteData,
                              bool HasData) override;
    const std::vector<TBinaryProperty>& Properties() const noexcept { return FProperties; }

private:
    std::vector<TBinaryProperty> FProperties;
};

// Hands stored values to the readers of the properties of the same name
// (case-insensitive); each reader gets a stream positioned at 0.
class TBinaryPropertyReader : public TFiler {
public:
    explicit TBinaryPropertyReader(std::vector<TBinaryProperty> values) : FValues(std::move(values)) {}
    void DefineBinaryProperty(const std::wstring& Name, const TStreamProc& ReadData, const TStreamProc& WriteData,
                              bool HasData) override;
    // Names of the values that a reader took.
    const std::vector<std::wstring>& ReadNames() const noexcept { return FRead; }

private:
    std::vector<TBinaryProperty> FValues;
    std::vector<std::wstring> FRead;
};

// The binary properties of Instance that have data against Ancestor.
std::vector<TBinaryProperty> WriteBinaryProperties(TPersistent& Instance, TPersistent* Ancestor = nullptr);
// Feeds one stored value to Instance; false when Instance defines no binary
// property of that name.
bool ReadBinaryProperty(TPersistent& Instance, const std::wstring& Name, const std::vector<uint8_t>& Data);
