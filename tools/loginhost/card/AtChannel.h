// AT commands over a serial port: one command, the lines that answer it, and how it ended,
// within a deadline. Modems end a command their own way, and the reader takes each:
//   - a final result: OK (0 in numeric mode); ERROR (4) and the other words of refusal modems
//     send (COMMAND NOT SUPPORT, TOO MANY PARAMETERS, NA, NO CARRIER, BUSY, NO ANSWER,
//     NO DIALTONE); +CME ERROR, +CMS ERROR, +EXT ERROR and MODEM ERROR with a number or a name;
//   - answer lines and then a quiet time: a modem that never sends the final result, or ends
//     with a line the reader does not know;
//   - more lines or bytes than any answer holds: a broken device, read no further;
//   - nothing but echo and unsolicited lines until the deadline: no answer.
// Echoed commands and unsolicited lines (^RSSI, +CREG, RING, ...) are left out of the answer.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/serial.h"

struct AtReply {
    enum class Final {
        kOk,
        kAnswered,  // answer lines, then quiet: no final result the reader knows
        kError,     // ERROR or another word of refusal
        kCmeError,  // a numbered or named device error
        kNoAnswer,
        kGone,
        kCancelled,
        kFlooded,  // past the bound of a reply
    };
    Final final = Final::kNoAnswer;
    int cme = 0;                     // the number of +CME ERROR; -1 for a name or kind not known
    std::vector<std::string> lines;  // answer lines, in order
};

// What one reply may hold, and how long a modem that sends no final result is given after its
// last byte.
struct AtLimits {
    std::chrono::milliseconds quiet{300};
    size_t maxLines = 64;  // lines that are not empty, echo and unsolicited ones included
    size_t maxBytes = size_t{16} * 1024;
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

// Applies one line to a reply; true once a final result has come. A line of the command's own
// echo is dropped.
bool TakeLine(const std::string& line, const std::string& command, AtReply& reply);
// True for lines a device sends of its own accord.
bool IsUnsolicited(const std::string& line);

// The reply to one command as its bytes come, within the bounds of a reply. Pure: the caller
// keeps the time.
class AtReplyReader {
public:
    AtReplyReader(std::string command, const AtLimits& limits)
        : m_command(std::move(command)), m_limits(limits) {}
    // Takes bytes the device sent; true once the reply has ended (a final result, or flooded).
    bool Feed(const std::string& bytes);
    // True once an answer line came: a quiet time may end the reply now.
    bool Answered() const { return !m_reply.lines.empty(); }
    const AtReply& Reply() const { return m_reply; }
    // Ends a reply that has no final result: kAnswered with its lines, or kNoAnswer.
    AtReply Unended() const;

private:
    const std::string m_command;
    const AtLimits m_limits;
    AtLineReader m_reader;
    AtReply m_reply;
    size_t m_nBytes = 0;
    size_t m_nLines = 0;
};

class AtChannel {
public:
    using Clock = std::chrono::steady_clock;

    // cancel, when given, ends a command early (kCancelled) once it turns true.
    explicit AtChannel(SerialPort& port, const std::atomic<bool>* cancel = nullptr,
                       AtLimits limits = {})
        : m_port(port), m_cancel(cancel), m_limits(limits) {}
    // Sends the command and reads its reply until it ends or the deadline comes.
    AtReply Command(const std::string& command, Clock::time_point deadline);

private:
    bool Cancelled() const { return m_cancel && m_cancel->load(); }

    SerialPort& m_port;
    const std::atomic<bool>* m_cancel;
    const AtLimits m_limits;
};
