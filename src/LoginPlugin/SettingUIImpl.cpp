#include "SettingUIImpl.h"

CSettingUIImpl::~CSettingUIImpl() {
    try {
        DestroyDialog();
    } catch (...) {
    }
}

CSettingUIImpl::Opening CSettingUIImpl::BeginShowing() {
    if (m_bEnded) return Opening::kEnded;
    if (m_bShowing) return Opening::kAlreadyOpen;
    m_bShowing = true;
    m_showingThread = std::this_thread::get_id();
    return Opening::kOpen;
}

void CSettingUIImpl::EndShowing() {
    std::lock_guard<std::mutex> lock(m_showMutex);
    m_bShowing = false;
    m_showingThread = std::thread::id();
    m_shownEnded.notify_all();
}

bool CSettingUIImpl::EndDialog(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(m_showMutex);
    m_bEnded = true;
    if (!m_bShowing) return true;
    RequestDialogEnd();
    // Called from within the dialog's own loop: it ends once this call has returned.
    if (m_showingThread == std::this_thread::get_id()) return false;
    return m_shownEnded.wait_until(lock, deadline, [this] { return !m_bShowing; });
}
