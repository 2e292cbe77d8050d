#include "media/filter_dialog.h"

#include "shared/com_ptr.h"
#include "shared/info_records.h"
#include "shared/owner.h"

#include <olectl.h>

namespace {

HRESULT ShowPropertyPages(HWND parent, IBaseFilter* filter) {
    ComPtr<ISpecifyPropertyPages> specify;
    HRESULT hr = filter->QueryInterface(IID_ISpecifyPropertyPages, specify.PutVoid());
    if (FAILED(hr)) return hr;
    CAUUID pages{};
    hr = specify->GetPages(&pages);
    const TTaskMem<GUID> pagesBlock(pages.pElems);  // freed on every path
    if (FAILED(hr)) return hr;
    TFilterInfo info;
    hr = filter->QueryFilterInfo(info.Put());
    if (FAILED(hr)) return hr;
    IUnknown* object = filter;
    return OleCreatePropertyFrame(parent, 0, 0, info->achName, 1, &object, pages.cElems, pages.pElems, 0, 0, nullptr);
}

HRESULT ShowCaptureDialog(HWND parent, IBaseFilter* filter, int dialog) {
    ComPtr<IAMVfwCaptureDialogs> dialogs;
    HRESULT hr = filter->QueryInterface(IID_IAMVfwCaptureDialogs, dialogs.PutVoid());
    if (FAILED(hr)) return hr;
    hr = dialogs->HasDialog(dialog);
    if (hr != S_OK) return hr;
    return dialogs->ShowDialog(dialog, parent);
}

HRESULT ShowCompressDialog(HWND parent, IBaseFilter* filter, int query, int dialog) {
    ComPtr<IAMVfwCompressDialogs> dialogs;
    HRESULT hr = filter->QueryInterface(IID_IAMVfwCompressDialogs, dialogs.PutVoid());
    if (FAILED(hr)) return hr;
    hr = dialogs->ShowDialog(query, nullptr);
    if (hr != S_OK) return hr;
    return dialogs->ShowDialog(dialog, parent);
}

}  // namespace

HRESULT ShowFilterDialog(HWND Parent, IBaseFilter* Filter, TFilterDialogKind Kind) {
    if (!Filter) return S_FALSE;
    switch (Kind) {
    case fdkPropertyPages:
        return ShowPropertyPages(Parent, Filter);
    case fdkCaptureDisplay:
        return ShowCaptureDialog(Parent, Filter, VfwCaptureDialog_Display);
    case fdkCaptureFormat:
        return ShowCaptureDialog(Parent, Filter, VfwCaptureDialog_Format);
    case fdkCaptureSource:
        return ShowCaptureDialog(Parent, Filter, VfwCaptureDialog_Source);
    case fdkCompressConfig:
        return ShowCompressDialog(Parent, Filter, VfwCompressDialog_QueryConfig, VfwCompressDialog_Config);
    case fdkCompressAbout:
        return ShowCompressDialog(Parent, Filter, VfwCompressDialog_QueryAbout, VfwCompressDialog_About);
    }
    return S_FALSE;
}
