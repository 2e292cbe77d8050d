// Forms: top-level windows whose components come from a form description.
//
// A form class derives from TForm, publishes its handlers and component
// fields, and loads its description at the end of its constructor:
//
//   TFormProgress::TFormProgress(TComponent* AOwner) : TForm(AOwner) {
//       LoadFromResource(L"TFORMPROGRESS");   // then OnCreate runs
//   }
//
// The window exists (hidden) from construction on. Closing asks OnCloseQuery
// then OnClose; closing the application's main form ends the application,
// any other form is hidden. OnDestroy runs once, from DoDestroy(), before
// the form is freed: DestroyApplicationForms() does both for the
// application's forms at the end of the program.
#pragma once

#include "classlib/runtime/application.h"
#include "classlib/ui/controls.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
using TBorderIcons = unsigned;
enum TFormStyle { fsNormal, fsStayOnTop };
enum TPosition { poDesigned, poDefault, poScreenCenter, poMainFormCenter, poOwnerFormCenter };
enum TCloseAction { caNone, caHide, caFree, caMinimize };

using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
// A handler of one window message; Default() of the form gives the
// platform's processing.
using TMessageHandler = std::function<void(TMessage& Message)>;
using TMonitorDpiChangedEvent = std::function<void(TObject* Sender, int OldDPI, int NewDPI)>;

class TCustomForm : public TWinControl, public TApplicationWindow {
public:
    explicit TCustomForm(TComponent* AOwner);
    ~TCustomForm() override;

    // Loads the form's components from a description, then runs OnCreate.
    void LoadFromText(std::string_view Text, std::wstring_view Source);
    void LoadFromResource(const std::wstring& ResourceName, HMODULE Module = nullptr);

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    bool AcceptsControls() const override { return true; }
    void SetClientWidth(int v);
    void SetClientHeight(int v);
    int ClientWidthProp() const { return ClientWidth(); }
    int ClientHeightProp() const { return ClientHeight(); }

    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle v);
    TBorderIcons BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons v);
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle v);
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition v) { FPosition = v; }
    bool DoubleBuffered() const { return FDoubleBuffered; }
    void SetDoubleBuffered(bool v) { FDoubleBuffered = v; }
    bool KeyPreview() const { return FKeyPreview; }
    void SetKeyPreview(bool v) { FKeyPreview = v; }

    bool Scaled() const { return FScaled; }
    void SetScaled(bool v) { FScaled = v; }
    // The resolution the form is laid out for now (96 until it is scaled).
    int PixelsPerInch() const { return FPixelsPerInch; }
    // Lays the form out for a resolution: the client size, font and every
    // control scaled by NewPixelsPerInch / PixelsPerInch(). With Suggested
    // the window takes that rectangle (in screen pixels) instead of keeping
    // its place and scaling its client size.
    void ScaleTo(int NewPixelsPerInch, const RECT* Suggested = nullptr);

    // Translucency: the whole window at AlphaBlendValue of 255, and pixels
    // of TransparentColorValue neither drawn nor hit by the mouse.
    bool AlphaBlend() const { return FAlphaBlend; }
    void SetAlphaBlend(bool v);
    int AlphaBlendValue() const { return FAlphaBlendValue; }
    void SetAlphaBlendValue(int v);
    bool TransparentColor() const { return FTransparentColor; }
    void SetTransparentColor(bool v);
    TColor TransparentColorValue() const { return FTransparentColorValue; }
    void SetTransparentColorValue(TColor v);

    // The window that owns this one (kept above it, minimised with it).
    void SetOwnerWindow(HWND owner);

    void SetVisible(bool v) override;
    void Show();
    void Hide();
    // Asks OnCloseQuery, then OnClose; the main form ends the application.
    void Close();
    // Runs OnDestroy once (before the form is freed).
    void DoDestroy();

    // Handles a window message before the form's own processing.
    void SetMessageHandler(UINT Msg, TMessageHandler Handler);
    // The processing the message would have had without its handler.
    void Default(TMessage& Message);

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnResize;
    TNotifyEvent OnDestroy;
    TCloseQueryEvent OnCloseQuery;
    TCloseEvent OnClose;
    TMonitorDpiChangedEvent OnAfterMonitorDpiChanged;

    // TApplicationWindow
    void ShowMainForm() override { Show(); }
    HWND WindowHandle() const override { return Handle(); }

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeHandle() override;
    void WndProc(TMessage& Message) override;
    void TextChanged() override;
    void ColorChanged() override;
    void Resize() override;
    void VisibleChanged() override {}
    virtual bool CloseQuery();
    void UpdateLayered();
    void UpdateStyle();
    void PlaceOnFirstShow();
    void PaintSurface(const RECT& area);

private:
    TFormBorderStyle FBorderStyle = bsSizeable;
    TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
    TFormStyle FFormStyle = fsNormal;
    TPosition FPosition = poDesigned;
    bool FDoubleBuffered = false;
    bool FKeyPreview = false;
    bool FScaled = true;
    int FPixelsPerInch = 96;
    bool FAlphaBlend = false;
    int FAlphaBlendValue = 255;
    bool FTransparentColor = false;
    TColor FTransparentColorValue = clBlack;
    bool FPlaced = false;
    bool FDestroyed = false;
    bool FInMessageHandler = false;
    int FDialogFilter = 0;
    std::map<UINT, TMessageHandler> FMessageHandlers;
    // What the client area shows, kept for hit-testing the transparent colour.
    std::unique_ptr<gdi::Dib32> FSurface;
};

class TForm : public TCustomForm {
public:
    using TCustomForm::TCustomForm;
};

// Runs OnDestroy of every form the application owns, last created first,
// then frees them. The program calls it once Application->Run() returns.
void DestroyApplicationForms();

// Registers the library's control classes for descriptions (idempotent;
// every form's constructor does it).
void RegisterUiClasses();
