#include "media/base_filter.h"

#include "classlib/runtime/streams.h"

#include <cstring>

HRESULT TBaseFilter::SetMoniker(IMoniker* Moniker) {
    if (!Moniker) {
        SetDataLength(0);
        return S_OK;
    }
    TMemoryStream stream;
    const HRESULT hr = OleSaveToStream(Moniker, TStreamAdapter::Create(stream).Get());
    if (FAILED(hr) || stream.Size() == 0 || stream.Size() > 0x7FFFFFFF) {
        SetDataLength(0);
        return FAILED(hr) ? hr : E_FAIL;
    }
    SetDataLength(static_cast<uint32_t>(stream.Size()));
    std::memcpy(Data(), stream.Memory(), DataLength());
    return S_OK;
}

ComPtr<IMoniker> TBaseFilter::GetMoniker() const {
    if (DataLength() == 0) return {};
    TMemoryStream stream;
    stream.WriteBuffer(Data(), DataLength());
    stream.SetPosition(0);
    ComPtr<IMoniker> moniker;
    if (FAILED(OleLoadFromStream(TStreamAdapter::Create(stream).Get(), IID_IMoniker, moniker.PutVoid()))) return {};
    return moniker;
}

ComPtr<IBaseFilter> TBaseFilter::CreateFilter() const {
    ComPtr<IMoniker> moniker = GetMoniker();
    if (!moniker) return {};
    ComPtr<IBaseFilter> filter;
    if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid()))) return {};
    return filter;
}
