// The base of the plug-in's skinned dialogs: the active skin's shape, background, close button and
// title, dragging by the whole surface, and a reload whenever the host switches skins.
#pragma once

#include <cstdint>
#include <string>

#include "HostRef.h"
#include "ILogin.h"
#include "IPluginContainer.h"
#include "ISkinControlEvent.h"
#include "libs/norvacontrol/Dialog.h"
#include "libs/norvacontrol/NorvaBitmapButton.h"
#include "libs/norvacontrol/NorvaStatic.h"

// Posted to a dialog by a skin change; both parameters 0.
#define WM_SKINCHANGED (WM_USER + 1)

class CBaseSubDlg : public CDialog, public ISkinControlEvent {
public:
    explicit CBaseSubDlg(UINT nIDTemplate, CWnd* pParent = nullptr);
    ~CBaseSubDlg() override;

    IPluginContainer* SetPluginContainer(IPluginContainer* pContainer);

    // Posts WM_SKINCHANGED to the dialog: callable from any thread, the reload runs on the
    // dialog's.
    int32_t OnSkinChange(SkinChangeInfo* pInfo) override;

    BOOL OnInitDialog() override;

    bool HasBackground() const { return m_bHasBackground != FALSE; }

protected:
    // Loads the active skin: size, shape, background, close button, title, drag.
    virtual void LoadSkin() = 0;

    // Takes size, shape and background from bitmap nID of the skin library; the transparent
    // colour's pixels are cut out of the window.
    BOOL LoadSkinBitmap(HINSTANCE hSkinLib, UINT nID, COLORREF crTransparent);
    BOOL SetCloseButton(HINSTANCE hSkinLib, UINT nID, const std::string& tip);
    BOOL SetTitle(UINT nID, const std::string& title);
    BOOL SetCloseTip(const std::string& tip);
    void SetDragAnywhere(BOOL bDragAnywhere) { m_bDragAnywhere = bDragAnywhere; }

    void PreSubclassWindow() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    IPluginContainer* m_pPluginContainer = nullptr;
    BOOL m_bHasBackground = FALSE;
    BITMAP m_bmInfo{};
    HBITMAP m_hBackground = nullptr;
    BOOL m_bDragAnywhere = FALSE;
    CNorvaBitmapButton m_btnClose;
    CNorvaStatic m_stTitle;

private:
    // The login object's listener interface; throws when it cannot be had.
    HostRef<ILogin> GetLoginInterface();
    void RegisterSkinNotify();
    void UnregisterSkinNotify();
    void OnSkinChanged();
    bool OnEraseBkgnd(HDC hdc);
    void OnDestroy();
    void BuildRegionFromBits(const BITMAP* pBitmap, COLORREF crTransparent);
    void BuildRegionFromPixels(COLORREF crTransparent);
};
