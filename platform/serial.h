// A serial port: a data card's AT port (/dev/ttyUSB2, /dev/ttyACM0, ... or COMn), raw 8N1 with
// no flow control. Reads wait at most the time given, so nothing waits for ever on a silent
// device. One object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort() = default;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens the port for this program alone; false with error saying why: no such port, no
    // permission, held by another program, or a speed the port cannot take.
    bool Open(const std::string& path, uint32_t baud, std::string& error);
    bool IsOpen() const { return m_pImpl != nullptr; }
    void Close() { m_pImpl.reset(); }

    // Writes every byte; false when the port is gone (unplugged, hung up) or stays blocked for
    // the time-out.
    bool Write(const std::string& bytes, int timeoutMs);
    // Appends what arrives within timeoutMs, returning as soon as something came; nothing on a
    // time-out. False when the port is gone.
    bool Read(std::string& bytes, int timeoutMs);
    // Drops input that has arrived but not been read.
    void DropInput();

private:
    // Each OS face defines the port it holds and how it goes; the rest is here, once.
    struct Impl;
    struct ImplDeleter {
        void operator()(Impl* pImpl) const noexcept;
    };
    using ImplPtr = std::unique_ptr<Impl, ImplDeleter>;
    ImplPtr m_pImpl;
};
