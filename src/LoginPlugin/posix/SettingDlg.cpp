#include "SettingDlg.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "SettingUIProtocol.h"
#include "libs/trace/Trace.h"
#include "platform/atomic_file.h"
#include "platform/module.h"
#include "platform/posix/spawn_helper.h"
#include "platform/textcodec.h"

namespace {

constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\SettingDlg"};

// How long the dialog program has to leave once told to end: a release waits on it.
constexpr std::chrono::milliseconds kReapBudget{2000};

std::mutex g_testMutex;
std::string g_strTestHelper;
std::chrono::milliseconds g_testReapBudget{-1};

std::chrono::milliseconds ReapBudget() {
    std::lock_guard<std::mutex> lock(g_testMutex);
    return g_testReapBudget.count() >= 0 ? g_testReapBudget : kReapBudget;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The skin named by "SKIN"/"ACTIVE" is, on Linux, a directory beside the host program holding
// the skin's bitmaps as ID.bmp and its strings as ID=text lines of strings.ini.
std::string SkinDirectory(const std::string& active) {
    if (active.empty()) return {};
    std::string relative = active;
    for (char& ch : relative)
        if (ch == '\\') ch = '/';
    std::string directory =
        relative[0] == '/' ? relative : DirectoryOf(GetHostExecutablePath()) + relative;
    if (directory.back() != '/') directory += '/';
    return directory;
}

std::string SkinString(const std::string& directory, uint32_t nID) {
    // A skin's strings are a few lines; the skin lies beside the program, links and all.
    constexpr size_t kMaxSkinStrings = size_t{64} * 1024;
    std::string text;
    if (ReadFileContents(directory + "strings.ini", text, kMaxSkinStrings, FileLinks::Follow) !=
        FileReadResult::Ok) {
        return {};
    }
    std::istringstream in(text);
    const std::string prefix = std::to_string(nID) + "=";
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, prefix.size(), prefix) == 0) return line.substr(prefix.size());
    return {};
}

std::string HexColour(uint32_t colorref) {
    char text[8];
    snprintf(text, sizeof text, "#%02x%02x%02x", colorref & 0xFF, (colorref >> 8) & 0xFF,
             (colorref >> 16) & 0xFF);
    return text;
}

}  // namespace

void SetSettingHelperForTest(const std::string& program) {
    std::lock_guard<std::mutex> lock(g_testMutex);
    g_strTestHelper = program;
}

void SetSettingReapBudgetForTest(std::chrono::milliseconds budget) {
    std::lock_guard<std::mutex> lock(g_testMutex);
    g_testReapBudget = budget;
}

std::string SettingHelperPath() {
    {
        std::lock_guard<std::mutex> lock(g_testMutex);
        if (!g_strTestHelper.empty()) return g_strTestHelper;
    }
    const std::string& directory = GetLibraryDirectory();
    return directory.empty() ? std::string() : directory + SETTING_HELPER_NAME;
}

CSettingDlg::CSettingDlg(IPluginContainer* pContainer) : m_model(pContainer) {
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) m_wake[0] = m_wake[1] = -1;
}

CSettingDlg::~CSettingDlg() {
    std::lock_guard<std::mutex> lock(m_sendMutex);
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
    for (int fd : m_wake)
        if (fd >= 0) close(fd);
}

void CSettingDlg::Cancel() {
    m_bCancelled = true;
    const char wake = 1;
    if (m_wake[1] >= 0 && write(m_wake[1], &wake, 1) < 0) {
        // Full already: the waiting Receive is woken all the same.
    }
}

bool CSettingDlg::Start(const std::string& program) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
    // The dialog's end of the socket is its standard input and output; nothing else of the
    // host's descriptors goes with it.
    const pid_t pid = SpawnHelper(program, {}, {fds[1], fds[1]});
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return false;
    }
    std::lock_guard<std::mutex> lock(m_sendMutex);
    m_fd = fds[0];
    m_pid = pid;
    return true;
}

bool CSettingDlg::Send(const std::vector<std::string>& fields) {
    const std::string line = EncodeSettingLine(fields);
    std::lock_guard<std::mutex> lock(m_sendMutex);
    if (m_fd < 0) return false;
    size_t sent = 0;
    while (sent < line.size()) {
        // No SIGPIPE into the host when the dialog has gone.
        const ssize_t n = send(m_fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool CSettingDlg::Receive(std::vector<std::string>& fields) {
    std::string line;
    for (;;) {
        if (m_bCancelled) return false;
        switch (m_reader.Take(line)) {
            case CSettingLineReader::Result::kLine:
                fields = DecodeSettingLine(line);
                return true;
            case CSettingLineReader::Result::kTooLong:
                TRACE_AT(kTrace, TRACE_ERRO, "the settings dialog sent a line too long!");
                return false;
            case CSettingLineReader::Result::kMore:
                break;
        }
        pollfd waits[2] = {{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (waits[1].revents != 0) return false;  // cancelled
        char buffer[16384];
        const ssize_t n = recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        m_reader.Feed(buffer, static_cast<size_t>(n));
    }
}

void CSettingDlg::BringToFront() {
    Send({"raise"});
}

void CSettingDlg::SendFields(int32_t nType) {
    ProxyFieldsState state;
    if (!m_model.FieldsFor(nType, state)) return;
    std::string flags;
    for (bool bEnabled : {state.bAddress, state.bPort, state.bUser, state.bPassword})
        flags += bEnabled ? '1' : '0';
    Send({"fields", flags, GbkToUtf8(state.values.address), GbkToUtf8(state.values.port),
          GbkToUtf8(state.values.user), GbkToUtf8(state.values.password)});
}

void CSettingDlg::SendSetup() {
    const ProxyDialogTexts texts = m_model.LoadTexts();
    if (texts.bLoaded) {
        const std::pair<const char*, const std::string*> named[] = {{"title", &texts.title},
                                                                    {"close-tip", &texts.closeTip},
                                                                    {"ok", &texts.ok},
                                                                    {"cancel", &texts.cancel},
                                                                    {"group", &texts.group}};
        for (const auto& [name, pText] : named) Send({"text", name, GbkToUtf8(*pText)});
        for (int i = 0; i < 5; ++i) Send({"label", std::to_string(i), GbkToUtf8(texts.labels[i])});
        for (const ProxyTypeEntry& entry : texts.entries)
            Send({"entry", std::to_string(entry.nType), GbkToUtf8(entry.text)});
    }
    Send({"mask", "address", kProxyAddressMask});
    Send({"mask", "port", kProxyPortMask});

    const std::string skin = SkinDirectory(m_model.ActiveSkin());
    if (!skin.empty()) {
        const std::pair<const char*, uint32_t> bitmaps[] = {
            {"background", kSkinBackground},   {"close", kSkinClose},
            {"close-down", kSkinCloseDown},    {"close-hover", kSkinCloseHover},
            {"button", kSkinButton},           {"button-down", kSkinButtonDown},
            {"button-hover", kSkinButtonHover}};
        for (const auto& [name, nID] : bitmaps) {
            const std::string path = skin + std::to_string(nID) + ".bmp";
            if (access(path.c_str(), R_OK) == 0) Send({"skin", name, path});
        }
        Send({"skin", "frame", HexColour(ParseSkinColor(SkinString(skin, kSkinFrameColour)))});
    }

    m_model.ReadCurrent();
    const int index = CProxyDialogModel::EntryIndexOf(texts.entries, m_model.CurrentType());
    Send({"select", std::to_string(index)});
    if (index >= 0) SendFields(m_model.CurrentType());
    Send({"show"});
}

int32_t CSettingDlg::DoModal() {
    if (m_bCancelled) return kDialogEndCancel;
    const std::string program = SettingHelperPath();
    if (program.empty() || !Start(program)) {
        TRACE_AT(kTrace, TRACE_ERRO, "the settings dialog program cannot be started!");
        return kDialogEndFailed;
    }
    SendSetup();
    int32_t end = kDialogEndFailed;
    std::vector<std::string> fields;
    while (end == kDialogEndFailed && Receive(fields)) {
        const std::string& what = fields[0];
        if (what == "selected" && fields.size() == 2) {
            SendFields(atoi(fields[1].c_str()));
        } else if (what == "ok" && fields.size() == 6) {
            if (m_bCancelled) break;  // ended by the host first: nothing is stored
            const int32_t type = atoi(fields[1].c_str());
            // The dialog program filters as it is typed; what arrives is held to the masks all
            // the same, so nothing the Windows edits refuse is stored.
            const ProxyFields typed{ApplyMask(kProxyAddressMask, fields[2]),
                                    ApplyMask(kProxyPortMask, fields[3]), Utf8ToGbk(fields[4]),
                                    Utf8ToGbk(fields[5])};
            if (m_model.Container() && m_model.Save(fields[1] == "-" ? nullptr : &type, typed) ==
                                           ProxySaveOutcome::NoType) {
                std::string text, caption;
                m_model.NoTypeMessage(text, caption);
                Send({"message", GbkToUtf8(text), GbkToUtf8(caption)});
                // The dialog closes once the message has been read.
                while (Receive(fields) && fields[0] != "message-closed") {
                }
            }
            end = kDialogEndOK;
        } else if (what == "close") {
            end = kDialogEndOK;
        } else if (what == "cancel") {
            end = kDialogEndCancel;
        } else if (what == "failed") {
            TRACE_AT(kTrace, TRACE_ERRO,
                     "the settings dialog failed: " + (fields.size() > 1 ? fields[1] : ""));
        }
    }
    // Ended by the host (its release): as the user's Cancel.
    if (end == kDialogEndFailed && m_bCancelled) end = kDialogEndCancel;
    if (end == kDialogEndFailed) TRACE_AT(kTrace, TRACE_ERRO, "the settings dialog ended early!");
    Send({"end", std::to_string(end)});
    Reap();
    return end;
}

void CSettingDlg::Reap() {
    // The dialog program closes its end and leaves; one that lingers past the budget is killed,
    // so that neither its output nor its life can hold the host.
    const auto deadline = std::chrono::steady_clock::now() + ReapBudget();
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, m_pid, 0));
    pollfd waits[2] = {{m_fd, POLLIN, 0}, {pidfd, POLLIN, 0}};
    int status = 0;
    bool bEnded = false;
    for (;;) {
        const pid_t reaped = waitpid(m_pid, &status, WNOHANG);
        if (reaped == m_pid || (reaped < 0 && errno != EINTR)) {
            bEnded = true;
            break;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        // Without a process descriptor its end is seen by looking again now and then.
        const auto wait = pidfd < 0 && waits[0].fd < 0 ? std::min<long long>(10, left.count())
                                                       : static_cast<long long>(left.count());
        if (poll(waits, 2, static_cast<int>(wait)) > 0 && waits[0].revents != 0) {
            char ignored[16384];
            const ssize_t n = recv(m_fd, ignored, sizeof ignored, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) waits[0].fd = -1;
        }
    }
    if (!bEnded) {
        TRACE_AT(kTrace, TRACE_ERRO, "the settings dialog program did not end: killed!");
        kill(m_pid, SIGKILL);
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (pidfd >= 0) close(pidfd);
    {
        std::lock_guard<std::mutex> lock(m_sendMutex);
        close(m_fd);
        m_fd = -1;
    }
    m_pid = -1;
}
