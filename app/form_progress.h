// The progress dialog of a conversion: a bar, a status text and the cancel,
// open-folder and close buttons. Created once at start and reused. Its
// owner learns of the close through OnClosed and reads the outcome (cancelled,
// failed) through methods.
#pragma once

#include "classlib/ui/comctrls.h"
#include "classlib/ui/forms.h"
#include "classlib/ui/stdctrls.h"

#include <atomic>
#include <string>

class TFormProgress : public TForm {
public:
    explicit TFormProgress(TComponent* AOwner);

    TProgressBar* ProgressBarStatus = nullptr;
    TLabel* LabelStatus = nullptr;
    TButton* BtnCancel = nullptr;
    TButton* BtnOpenDir = nullptr;
    TButton* BtnClose = nullptr;

    // Told once the dialog has been closed (its close button, or the
    // system's close while that button is enabled).
    TNotifyEvent OnClosed;

    void SetRange(int Min, int Max);
    void SetPosition(int Value);
    int Maximum() const;
    int Position() const;
    void SetStatus(const std::wstring& Text);
    void EnableOpenDir(bool Enabled);
    void EnableCancel(bool Enabled);
    void EnableClose(bool Enabled);
    void SetOpenDir(const std::wstring& Path);

    // Whether the user confirmed a cancel since the outcome was last cleared
    // or the dialog last shown.
    bool Cancelled() const { return FCancelled; }
    // Whether the work was marked failed since the outcome was last cleared.
    bool Failed() const { return FFailed.load(); }
    // Safe from any thread.
    void MarkFailed() { FFailed.store(true); }
    void ClearOutcome();

    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    // The system's close (Alt+F4, the taskbar, WM_CLOSE): refused while the
    // close button is disabled, else the close button's own work.
    void FormCloseQuery(TObject* Sender, bool& CanClose);
    void BtnOpenDirClick(TObject* Sender);
    void BtnCancelClick(TObject* Sender);
    void BtnCloseClick(TObject* Sender);

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

private:
    std::wstring FOpenDirPath;
    bool FCancelled = false;
    // Written by the runner's worker thread, read on the GUI thread.
    std::atomic<bool> FFailed{false};
};

extern TFormProgress* FormProgress;
