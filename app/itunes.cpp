// The iTunes step after a successful conversion: the output file is added
// to the iTunes library through iTunes's automation objects, reached by name
// through IDispatch.
#include "app/form_main.h"
#include "app/form_progress.h"
#include "classlib/runtime/application.h"
#include "classlib/runtime/files.h"
#include "shared/com_ptr.h"
#include "shared/owner.h"
#include "shared/variant.h"

#include <oleauto.h>

namespace {

// The iTunes application class and its application interface.
constexpr GUID CLSID_CoiTunesApp = {0xDC0C2640, 0x1415, 0x4644, {0x87, 0x5C, 0x6F, 0x4D, 0x76, 0x98, 0x39, 0xBA}};
constexpr GUID IID_IiTunesApp = {0x9DD6680B, 0x3EDC, 0x40DB, {0xA7, 0x71, 0xE6, 0xFE, 0x48, 0x32, 0xE3, 0x4A}};

class EITunesCall {};

void Check(HRESULT hr) {
    if (FAILED(hr)) throw EITunesCall();
}

DISPID DispatchId(IDispatch* object, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    Check(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    return id;
}

void AddToITunesLibrary(const std::wstring& Path) {
    ComPtr<IDispatch> app;
    Check(CoCreateInstance(CLSID_CoiTunesApp, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IiTunesApp,
                           app.PutVoid()));
    if (!app) throw EITunesCall();

    DISPPARAMS none{};
    TVariant playlistValue;
    Check(app->Invoke(DispatchId(app.Get(), L"LibraryPlaylist"), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                      &none, playlistValue.Put(), nullptr, nullptr));
    if (playlistValue->vt != VT_DISPATCH || !playlistValue->pdispVal) throw EITunesCall();
    IDispatch* playlist = playlistValue->pdispVal;

    TVariant argument;
    argument->vt = VT_BSTR;
    argument->bstrVal = SysAllocStringLen(Path.data(), static_cast<UINT>(Path.size()));
    if (!argument->bstrVal) throw EITunesCall();
    DISPPARAMS params{};
    params.rgvarg = argument.Get();
    params.cArgs = 1;
    // The operation status object comes back here and goes unexamined.
    TVariant status;
    Check(playlist->Invoke(DispatchId(playlist, L"AddFile"), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                           status.Put(), nullptr, nullptr));
}

}  // namespace

void TFormMain::WaitForITunes() {
    if (FormProgress) FormProgress->SetStatus(L"iTunesへ転送しています");
    FITunesDone = 0;
    TimerRegistiTunes->SetEnabled(true);
    while (FITunesDone == 0) {
        Application->ProcessMessages();
        if (FITunesDone != 0) break;
        Sleep(1000);
    }
}

void TFormMain::TimerRegistiTunesTimer(TObject*) {
    TimerRegistiTunes->SetEnabled(false);
    RegisterInITunes();
}

void TFormMain::RegisterInITunes() {
    const std::wstring path = IncludeTrailingPathDelimiter(FSettings->SaveDir) + FSettings->FileName;
    if (!FileExists(path)) {
        Application->ShowMessageBox(L"転送元ファイルにアクセスできません", Application->Title(), MB_OK);
        FITunesDone = 2;
        return;
    }
    try {
        // The GUI thread has joined COM already for the capture graph; this
        // only makes sure of it.
        TComApartment apartment;
        AddToITunesLibrary(path);
        if (FormProgress) FormProgress->SetStatus(L"iTunesへの転送が完了しました");
        FITunesDone = 1;
    } catch (...) {
        if (FormProgress) FormProgress->SetStatus(L"iTunesへの転送に失敗しました");
        FITunesDone = 2;
    }
}
