// The proxy settings dialog on Linux. A plug-in cannot know its host's toolkit, and a second GTK
// in one process aborts it: the dialog is drawn by a program of its own beside the library
// ("loginplugin-settings", GTK 3), started for each opening and spoken to over a socket. This
// object is the dialog's mind, the model of both faces: it reads the host's values, decides what
// the edits show, checks and stores what the user chose. The calling thread waits, as in a modal
// loop; a crash of the dialog program ends the opening with -1 and leaves the host running.
#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>
#include <vector>

#include "IPluginContainer.h"
#include "ProxyDialogModel.h"

// The dialog program's file name, looked for in the library's directory.
#define SETTING_HELPER_NAME "loginplugin-settings"
// Names another dialog program (tests).
#define SETTING_HELPER_ENV "LOGINPLUGIN_SETTINGS_HELPER"

class CSettingDlg {
public:
    explicit CSettingDlg(IPluginContainer* pContainer) : m_model(pContainer) {}
    ~CSettingDlg();
    CSettingDlg(const CSettingDlg&) = delete;
    CSettingDlg& operator=(const CSettingDlg&) = delete;

    // Shows the dialog and waits for its end: IDOK (1) after OK or the close button, IDCANCEL
    // (2) after Cancel, Escape or the window's closing; -1 when it could not be shown.
    int32_t DoModal();
    // Brings the open dialog to the front; from any thread.
    void BringToFront();

private:
    bool Start(const std::string& program);
    bool Send(const std::vector<std::string>& fields);
    // The next line from the dialog; false when it has gone.
    bool Receive(std::vector<std::string>& fields);
    void SendSetup();
    void SendFields(int32_t nType);
    // Waits for the dialog program to end.
    void Reap();

    CProxyDialogModel m_model;
    std::mutex m_sendMutex;  // m_fd and the writes to it
    int m_fd = -1;
    pid_t m_pid = -1;
    std::string m_pending;  // received, not yet a whole line
};

// The dialog program to start: $LOGINPLUGIN_SETTINGS_HELPER, else the one beside the library.
std::string SettingHelperPath();
