#include "media/enum_media_type.h"

#include "shared/com_ptr.h"
#include "shared/media_type.h"

#include <memory>

void TEnumMediaType::SetPin(IPin* Pin) {
    Clear();
    if (!Pin) return;
    ComPtr<IEnumMediaTypes> types;
    if (Pin->EnumMediaTypes(types.Put()) == S_OK && types) SetEnum(types.Get());
}

void TEnumMediaType::SetEnum(IEnumMediaTypes* Enum) {
    Clear();
    if (!Enum) return;
    AM_MEDIA_TYPE* record = nullptr;
    while (Enum->Next(1, &record, nullptr) == S_OK && record) {
        // The enumerator's record is deleted even when the copy fails.
        std::unique_ptr<AM_MEDIA_TYPE, void (*)(AM_MEDIA_TYPE*)> handedOut(record, &DeleteMediaType);
        record = nullptr;
        FList.Add(std::make_unique<TMediaType>(handedOut.get()));
    }
}
