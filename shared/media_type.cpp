#include "shared/media_type.h"

#include <cstring>

void CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
    *target = *source;
    if (source->cbFormat != 0) {
        target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
        if (target->pbFormat == nullptr) {
            target->cbFormat = 0;
        } else {
            std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
        }
    }
    if (target->pUnk != nullptr) target->pUnk->AddRef();
}

void FreeMediaType(AM_MEDIA_TYPE& record) {
    if (record.cbFormat != 0) {
        CoTaskMemFree(record.pbFormat);
        record.cbFormat = 0;
        record.pbFormat = nullptr;
    }
    if (record.pUnk != nullptr) {
        record.pUnk->Release();
        record.pUnk = nullptr;
    }
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
    auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (record == nullptr) return nullptr;
    CopyMediaType(record, source);
    return record;
}

void DeleteMediaType(AM_MEDIA_TYPE* record) {
    if (record == nullptr) return;
    FreeMediaType(*record);
    CoTaskMemFree(record);
}

void TMediaTypeRecord::Assign(const AM_MEDIA_TYPE& source) {
    if (&source == &FRecord) return;
    AM_MEDIA_TYPE copy;
    CopyMediaType(&copy, &source);
    FreeMediaType(FRecord);
    FRecord = copy;
}

void TMediaTypeRecord::Reset() noexcept {
    FreeMediaType(FRecord);
    FRecord = AM_MEDIA_TYPE{};
}
