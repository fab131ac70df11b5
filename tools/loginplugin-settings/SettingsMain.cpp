// loginplugin-settings: the proxy settings dialog of the login plug-in on Linux. Started by the
// plug-in with a socket as its standard input and output; it reads the dialog's setup, shows the
// dialog, reports what the user does and ends when the plug-in says so (or when the plug-in's
// end of the socket closes).
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "SettingUIProtocol.h"
#include "SettingsDialog.h"

namespace {

CSettingLineReader g_reader;
std::vector<std::string> g_fields;  // what the edits show at opening

void SendLine(const std::vector<std::string>& fields) {
    const std::string line = EncodeSettingLine(fields);
    size_t sent = 0;
    while (sent < line.size()) {
        const ssize_t n = write(STDOUT_FILENO, line.data() + sent, line.size() - sent);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

// The next line from the plug-in; false when it has gone.
bool ReadLine(std::vector<std::string>& fields) {
    std::string line;
    CSettingLineReader::Result got;
    while ((got = g_reader.Take(line)) != CSettingLineReader::Result::kLine) {
        if (got == CSettingLineReader::Result::kTooLong) return false;
        char buffer[4096];
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        g_reader.Feed(buffer, static_cast<size_t>(n));
    }
    fields = DecodeSettingLine(line);
    return true;
}

// One setup line; false for "show".
bool Setup(SettingsDialog& dialog, const std::vector<std::string>& f) {
    const std::string& what = f[0];
    if (what == "show") return false;
    if (what == "text" && f.size() == 3) dialog.SetText(f[1], f[2]);
    if (what == "label" && f.size() == 3) dialog.SetLabel(atoi(f[1].c_str()), f[2]);
    if (what == "entry" && f.size() == 3) dialog.AddEntry(atoi(f[1].c_str()), f[2]);
    if (what == "mask" && f.size() == 3) dialog.SetMask(f[1], f[2]);
    if (what == "skin" && f.size() == 3) dialog.SetSkin(f[1], f[2]);
    if (what == "select" && f.size() == 2) dialog.Select(atoi(f[1].c_str()));
    if (what == "fields" && f.size() == 6) g_fields = f;
    return true;
}

// Handles the lines that have arrived whole; false once the dialog has ended. Lines are handled
// one at a time: a message box runs its own loop, and the next line waits until it is closed.
bool HandleLines(SettingsDialog& dialog) {
    std::string line;
    CSettingLineReader::Result got;
    while ((got = g_reader.Take(line)) == CSettingLineReader::Result::kLine) {
        const std::vector<std::string> f = DecodeSettingLine(line);
        if (f[0] == "fields" && f.size() == 6) {
            dialog.ShowFields(f[1], {f[2], f[3], f[4], f[5]});
        } else if (f[0] == "message" && f.size() == 3) {
            dialog.Message(f[1], f[2]);
            SendLine({"message-closed"});
        } else if (f[0] == "raise") {
            dialog.Raise();
        } else if (f[0] == "end") {
            return false;
        }
    }
    return got != CSettingLineReader::Result::kTooLong;
}

void End(SettingsDialog& dialog) {
    dialog.Close();
    gtk_main_quit();
}

gboolean OnPluginInput(gint, GIOCondition, gpointer data) {
    auto& dialog = *static_cast<SettingsDialog*>(data);
    char buffer[4096];
    const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) return G_SOURCE_CONTINUE;
    if (n <= 0) {  // the plug-in has gone
        End(dialog);
        return G_SOURCE_REMOVE;
    }
    g_reader.Feed(buffer, static_cast<size_t>(n));
    if (HandleLines(dialog)) return G_SOURCE_CONTINUE;
    End(dialog);
    return G_SOURCE_REMOVE;
}

}  // namespace

// GTK and fontconfig keep their caches until the process ends; a sanitized build does not count
// them as leaks.
extern "C" __attribute__((visibility("default"))) const char*
__asan_default_options() {  // NOLINT(bugprone-reserved-identifier)
    return "detect_leaks=0";
}

int main(int argc, char** argv) {
    // The plug-in's end may close first: a write then fails instead of ending the program.
    signal(SIGPIPE, SIG_IGN);
    SettingsDialog dialog(SendLine);
    std::vector<std::string> fields;
    for (;;) {
        if (!ReadLine(fields)) return 1;
        if (!Setup(dialog, fields)) break;
    }
    if (!gtk_init_check(&argc, &argv)) {
        SendLine({"failed", "no display"});
        return 1;
    }
    dialog.Show();
    if (!g_fields.empty())
        dialog.ShowFields(g_fields[1], {g_fields[2], g_fields[3], g_fields[4], g_fields[5]});
    // Lines that came with the setup first, then the rest as it arrives.
    if (!HandleLines(dialog)) return 0;
    g_unix_fd_add(STDIN_FILENO, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                  OnPluginInput, &dialog);
    gtk_main();
    return 0;
}
