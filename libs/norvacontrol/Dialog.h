// A dialog made from a template resource, whose messages reach virtual handlers.
#pragma once

#include "Wnd.h"

// The module whose resources dialog templates are loaded from (the program's own by default).
HINSTANCE GetResourceHandle();
void SetResourceHandle(HINSTANCE hInstance);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParent = nullptr);
    ~CDialog() override;

    // Runs the dialog modally; its end code, or -1 when the window cannot be made. Without a
    // parent, the calling thread's active top-level window (if any) is its owner.
    INT_PTR DoModal();
    // Makes the dialog modeless; false when the window cannot be made.
    bool Create();
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

protected:
    // Binds controls to members (DDX_Control); called by OnInitDialog.
    virtual void DoDataExchange() {}
    bool DDX_Control(int nID, CWnd& control);
    // WM_COMMAND; true when handled. The default sends IDOK to OnOK and IDCANCEL to OnCancel.
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam);
    // Any other message; true when handled, with the message's result in *pResult.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    CWnd* m_pParent;
    bool m_bModal = false;
};
