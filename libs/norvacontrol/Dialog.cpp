#include "Dialog.h"

namespace {

HINSTANCE g_hResource = nullptr;

// Messages whose result a dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
        case WM_INITDIALOG:
            return true;
        default:
            return false;
    }
}

// The control a parent message is about, for handing it back to the control's object.
HWND ChildOfMessage(UINT message, WPARAM /*wParam*/, LPARAM lParam) {
    switch (message) {
        case WM_DRAWITEM:
            return reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->CtlType == ODT_MENU
                       ? nullptr
                       : reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<HWND>(lParam);
        default:
            return nullptr;
    }
}

}  // namespace

HINSTANCE GetResourceHandle() {
    return g_hResource ? g_hResource : GetModuleHandleA(nullptr);
}

void SetResourceHandle(HINSTANCE hInstance) {
    g_hResource = hInstance;
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParent)
    : m_nIDTemplate(nIDTemplate), m_pParent(pParent) {}

CDialog::~CDialog() {
    if (m_hWnd) {
        HWND hWnd = m_hWnd;
        Detach();
        SetWindowLongPtrA(hWnd, DWLP_USER, 0);
        ::DestroyWindow(hWnd);
    }
}

INT_PTR CDialog::DoModal() {
    m_bModal = true;
    HWND hParent = m_pParent ? m_pParent->GetSafeHwnd() : nullptr;
    // Without a parent the calling thread's active top-level window owns the dialog: it is
    // disabled while the dialog runs, and the dialog is centred over it.
    if (!hParent) {
        hParent = GetActiveWindow();
        if (hParent) hParent = GetAncestor(hParent, GA_ROOT);
    }
    INT_PTR result = DialogBoxParamA(GetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), hParent,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_bModal = false;
    return result;
}

bool CDialog::Create() {
    m_bModal = false;
    HWND hParent = m_pParent ? m_pParent->GetSafeHwnd() : nullptr;
    return CreateDialogParamA(GetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), hParent,
                              &CDialog::DialogProc, reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CDialog::EndDialog(int nResult) {
    if (!m_hWnd) return;
    if (m_bModal) {
        ::EndDialog(m_hWnd, nResult);
    } else {
        ::DestroyWindow(m_hWnd);
    }
}

BOOL CDialog::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool CDialog::DDX_Control(int nID, CWnd& control) {
    if (control.GetSafeHwnd()) return true;
    return control.SubclassDlgItem(nID, this);
}

bool CDialog::OnCommand(WPARAM wParam, LPARAM /*lParam*/) {
    if (HIWORD(wParam) != BN_CLICKED) return false;
    switch (LOWORD(wParam)) {
        case IDOK:
            OnOK();
            return true;
        case IDCANCEL:
            OnCancel();
            return true;
        default:
            return false;
    }
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT*) {
    return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* pDialog = nullptr;
    if (message == WM_INITDIALOG) {
        pDialog = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(pDialog));
        pDialog->Attach(hWnd);
        pDialog->PreSubclassWindow();
    } else {
        pDialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hWnd, DWLP_USER));
    }
    if (!pDialog) return FALSE;
    INT_PTR result = FALSE;
    try {
        result = pDialog->Dispatch(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's frames.
        result = FALSE;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hWnd, DWLP_USER, 0);
        pDialog->Detach();
    }
    return result;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return OnInitDialog();
    if (message == WM_COMMAND) {
        bool handled = OnCommand(wParam, lParam);
        if (handled) SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, 0);
        return handled ? TRUE : FALSE;
    }
    LRESULT result = 0;
    CWnd* pChild = FromHandle(ChildOfMessage(message, wParam, lParam));
    bool handled =
        pChild && pChild != this && pChild->OnChildNotify(message, wParam, lParam, &result);
    if (!handled) handled = OnMessage(message, wParam, lParam, &result);
    if (!handled) return FALSE;
    if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(result);
    SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
