#pragma once
#include <windows.h>

#include "framework/Wnd.h"

// Modal dialog built from a dialog resource of the executable.
//
// Every message of the dialog window after WM_INITDIALOG (that one included) goes through the
// virtual WindowProc, which a subclass overrides to see messages before the handlers do. The
// handlers below are called from CDialog::WindowProc; Default() gives the message being handled
// to the system's dialog procedure.
//
// Keyboard: Enter does nothing (OnOK); Esc behaves like the close box (OnCancel sends WM_CLOSE).
// The default OnClose ends the dialog with IDCANCEL.
// After OnInitDialog a dialog that did not move during its initialisation is centred, from its
// final size. The modal loop ends on EndDialog or on WM_QUIT (which it leaves pending for the
// application's own loop).
class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, HWND hParent = nullptr);
    ~CDialog() override;

    // Creates the window, runs the modal loop and destroys the window again.
    // Returns the EndDialog result, or -1 when the loop ended on WM_QUIT or creation failed.
    INT_PTR DoModal();
    void EndDialog(int nResult);

protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    virtual BOOL OnInitDialog();             // calls DoDataExchange; TRUE = system sets focus
    virtual void DoDataExchange() {}
    virtual void OnOK() {}                   // Enter
    virtual void OnCancel();                 // Esc
    virtual void OnSysCommand(UINT nID, LPARAM lParam);
    virtual void OnPaint();
    virtual HCURSOR OnQueryDragIcon();
    virtual void OnClose();
    virtual void OnTimer(UINT_PTR nIDEvent);

    LRESULT Default();                       // default processing of the current message
    void BindControl(int nID, CWnd& control) const;

private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    static INT_PTR CALLBACK InitialDialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT RouteMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CentreIfUnmoved(const RECT& before);
    void Detach();

    UINT m_nIDTemplate;
    HWND m_hParent;
    WNDPROC m_pfnSuper = nullptr;
    CurrentMessage m_current{};
    bool m_bInitialised = false;
    bool m_bEndModal = false;
    INT_PTR m_nModalResult = -1;
};
