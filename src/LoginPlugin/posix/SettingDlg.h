// The proxy settings dialog on Linux. A plug-in cannot know its host's toolkit, and a second GTK
// in one process aborts it: the dialog is drawn by a program of its own beside the library
// ("loginplugin-settings", GTK 3), started for each opening and spoken to over a socket. This
// object is the dialog's mind, the model of both faces: it reads the host's values, decides what
// the edits show, checks and stores what the user chose. The calling thread waits, as in a modal
// loop; a crash of the dialog program ends the opening with -1 and leaves the host running.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "IPluginContainer.h"
#include "ProxyDialogModel.h"
#include "SettingUIProtocol.h"

// The dialog program's file name, looked for in the library's directory.
#define SETTING_HELPER_NAME "loginplugin-settings"

class CSettingDlg {
public:
    explicit CSettingDlg(IPluginContainer* pContainer);
    ~CSettingDlg();
    CSettingDlg(const CSettingDlg&) = delete;
    CSettingDlg& operator=(const CSettingDlg&) = delete;

    // Shows the dialog and waits for its end: IDOK (1) after OK or the close button, IDCANCEL
    // (2) after Cancel, Escape or the window's closing; -1 when it could not be shown.
    int32_t DoModal();
    // Brings the open dialog to the front; from any thread.
    void BringToFront();
    // Ends the dialog as its Cancel does, storing nothing; from any thread, also before DoModal.
    void Cancel();

private:
    bool Start(const std::string& program);
    bool Send(const std::vector<std::string>& fields);
    // The next line from the dialog; false when it has gone.
    bool Receive(std::vector<std::string>& fields);
    void SendSetup();
    void SendFields(int32_t nType);
    // Waits for the dialog program to end, for a bounded time: then it is killed.
    void Reap();

    CProxyDialogModel m_model;
    std::mutex m_sendMutex;  // m_fd and the writes to it
    int m_fd = -1;
    pid_t m_pid = -1;
    CSettingLineReader m_reader;  // received, not yet handled
    int m_wake[2] = {-1, -1};     // a pipe: Cancel wakes the waiting Receive
    std::atomic<bool> m_bCancelled{false};
};

// The dialog program to start: the one in the library's own directory.
std::string SettingHelperPath();
// Test seams: another dialog program in its place (empty: none), and how long one has to leave
// after its end (negative: the usual time).
void SetSettingHelperForTest(const std::string& program);
void SetSettingReapBudgetForTest(std::chrono::milliseconds budget);
