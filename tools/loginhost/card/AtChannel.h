// AT commands over a serial port: one command, the lines that answer it, and its final result
// (OK, ERROR, +CME ERROR: n), within a deadline. Echoed commands and unsolicited lines that the
// device sends in between (^RSSI, +CREG, RING, ...) are left out of the answer.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/serial.h"

struct AtReply {
    enum class Final { kOk, kError, kCmeError, kNoAnswer, kGone };
    Final final = Final::kNoAnswer;
    int cme = 0;                     // the number of +CME ERROR
    std::vector<std::string> lines;  // information lines, in order
};

// Splits what the device sent into lines and applies them to a reply; true once the final
// result has come. A line of the command's own echo is dropped.
bool TakeLine(const std::string& line, const std::string& command, AtReply& reply);
// True for lines a device sends of its own accord.
bool IsUnsolicited(const std::string& line);

class AtChannel {
public:
    using Clock = std::chrono::steady_clock;

    explicit AtChannel(SerialPort& port) : m_port(port) {}
    // Sends the command and waits for its final result until the deadline.
    AtReply Command(const std::string& command, Clock::time_point deadline);

private:
    SerialPort& m_port;
};
