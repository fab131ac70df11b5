#include <windows.h>

#include "platform/serial.h"

namespace {

std::string OpenError(const std::string& path, DWORD err) {
    switch (err) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return path + ": no such port";
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return path + ": held by another program, or access denied";
        default:
            return path + ": cannot be opened (error " + std::to_string(err) + ")";
    }
}

// "COM12" needs the device namespace; a name given with it is kept.
std::string DeviceName(const std::string& path) {
    return path.rfind("\\\\.\\", 0) == 0 ? path : "\\\\.\\" + path;
}

}  // namespace

// How often a read looks at the port while it waits.
constexpr DWORD kPollMs = 5;

struct SerialPort::Impl {
    HANDLE hPort = INVALID_HANDLE_VALUE;
    ~Impl() {
        if (hPort != INVALID_HANDLE_VALUE) CloseHandle(hPort);
    }
};

void SerialPort::ImplDeleter::operator()(Impl* pImpl) const noexcept {
    delete pImpl;
}

bool SerialPort::Open(const std::string& path, uint32_t baud, std::string& error) {
    Close();
    // No sharing: the port is this program's alone.
    HANDLE h = CreateFileA(DeviceName(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = OpenError(path, GetLastError());
        return false;
    }
    ImplPtr impl(new Impl);
    impl->hPort = h;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) {
        error = path + ": not a serial port";
        return false;
    }
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!SetCommState(h, &dcb)) {
        error = path + ": cannot be set to " + std::to_string(baud) + " 8N1";
        return false;
    }
    // Reads return at once with what has come. (Wine waits out the whole total time-out of
    // the "return on the first byte" setting, so the wait is ours.)
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutConstant = 3000;
    if (!SetCommTimeouts(h, &timeouts)) {
        error = path + ": cannot set time-outs";
        return false;
    }
    PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    m_pImpl = std::move(impl);
    return true;
}

bool SerialPort::Write(const std::string& bytes, int /*timeoutMs*/) {
    if (!m_pImpl) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        if (!WriteFile(m_pImpl->hPort, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &n, nullptr) ||
            n == 0) {
            return false;
        }
        done += n;
    }
    return true;
}

bool SerialPort::Read(std::string& bytes, int timeoutMs) {
    if (!m_pImpl) return false;
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs > 0 ? timeoutMs : 0);
    for (;;) {
        char buf[512];
        DWORD n = 0;
        if (!ReadFile(m_pImpl->hPort, buf, sizeof buf, &n, nullptr)) return false;
        if (n > 0) {
            bytes.append(buf, n);
            return true;
        }
        if (GetTickCount64() >= end) return true;
        Sleep(kPollMs);
    }
}

void SerialPort::DropInput() {
    if (m_pImpl) PurgeComm(m_pImpl->hPort, PURGE_RXCLEAR);
}
