// AT commands over a serial port: one command, the lines that answer it, and its final result
// (OK, ERROR, +CME ERROR: n or its name; 0 and 4 from a modem left in numeric mode), within a
// deadline. Echoed commands and unsolicited lines that the device sends in between (^RSSI, +CREG,
// RING, ...) are left out of the answer.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/serial.h"

struct AtReply {
    enum class Final { kOk, kError, kCmeError, kNoAnswer, kGone, kCancelled };
    Final final = Final::kNoAnswer;
    int cme = 0;                     // the number of +CME ERROR; -1 for a name not known
    std::vector<std::string> lines;  // information lines, in order
};

// Cuts what the device sends into lines at CR or LF, whichever it uses. A line that grows past
// kMaxLine is dropped whole, so a device that streams without line ends cannot fill memory; each
// byte is looked at once however the device splits its writes.
class AtLineReader {
public:
    static constexpr size_t kMaxLine = 4096;

    void Feed(const std::string& bytes);
    // The next whole line (without its end); false when none is complete yet.
    bool Next(std::string& line);

private:
    std::string m_pending;
    size_t m_scanned = 0;      // bytes of m_pending known to hold no line end
    bool m_bDropping = false;  // the rest of an overlong line is being dropped
};

// Applies one line to a reply; true once the final result has come. A line of the command's own
// echo is dropped.
bool TakeLine(const std::string& line, const std::string& command, AtReply& reply);
// True for lines a device sends of its own accord.
bool IsUnsolicited(const std::string& line);

class AtChannel {
public:
    using Clock = std::chrono::steady_clock;

    // cancel, when given, ends a command early (kCancelled) once it turns true.
    explicit AtChannel(SerialPort& port, const std::atomic<bool>* cancel = nullptr)
        : m_port(port), m_cancel(cancel) {}
    // Sends the command and waits for its final result until the deadline.
    AtReply Command(const std::string& command, Clock::time_point deadline);

private:
    bool Cancelled() const { return m_cancel && m_cancel->load(); }

    SerialPort& m_port;
    const std::atomic<bool>* m_cancel;
};
