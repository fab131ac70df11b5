#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/serial.h"

namespace {

bool Speed(uint32_t baud, speed_t& speed) {
    struct Known {
        uint32_t baud;
        speed_t speed;
    };
    static const Known known[] = {
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {921600, B921600},
        {1000000, B1000000}, {2000000, B2000000}, {3000000, B3000000}, {4000000, B4000000},
    };
    for (const Known& k : known) {
        if (k.baud == baud) {
            speed = k.speed;
            return true;
        }
    }
    return false;
}

std::string OpenError(const std::string& path, int err) {
    switch (err) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
            return path + ": no such port";
        case EACCES:
        case EPERM:
            return path + ": permission denied (the user needs the dialout group)";
        case EBUSY:
            return path + ": held by another program (a modem manager service?)";
        default:
            return path + ": " + std::strerror(err);
    }
}

}  // namespace

struct SerialPort::Impl {
    int fd = -1;
    bool bExclusive = false;
    ~Impl() {
        if (fd < 0) return;
        // The mode belongs to the terminal, not to this descriptor: it is left as found.
        if (bExclusive) ioctl(fd, TIOCNXCL);
        close(fd);
    }
};

void SerialPort::ImplDeleter::operator()(Impl* pImpl) const noexcept {
    delete pImpl;
}

bool SerialPort::Open(const std::string& path, uint32_t baud, std::string& error) {
    Close();
    speed_t speed = B0;
    if (!Speed(baud, speed)) {
        error = path + ": unsupported speed " + std::to_string(baud);
        return false;
    }
    // Non-blocking: a port whose carrier is down must not block the open, and reads wait in poll.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = OpenError(path, errno);
        return false;
    }
    ImplPtr impl(new Impl);
    impl->fd = fd;
    // Exclusive mode does not bind root: a port another program (the system's modem service)
    // holds that way is refused here, or both would talk over it.
    int exclusive = 0;
    if (ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive) {
        error = OpenError(path, EBUSY);
        return false;
    }
    // Programs that share serial ports agree on a lock; the terminal's exclusive mode keeps out
    // those that do not (except root's).
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = OpenError(path, errno == EWOULDBLOCK ? EBUSY : errno);
        return false;
    }
    termios tio{};
    if (!isatty(fd) || tcgetattr(fd, &tio) != 0) {
        error = path + ": not a serial port";
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSTOPB | PARENB | CSIZE | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        error = path + ": cannot be set to raw 8N1: " + std::strerror(errno);
        return false;
    }
    impl->bExclusive = ioctl(fd, TIOCEXCL) == 0;
    tcflush(fd, TCIOFLUSH);
    m_pImpl = std::move(impl);
    return true;
}

bool SerialPort::Write(const std::string& bytes, int timeoutMs) {
    if (!m_pImpl) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(m_pImpl->fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return false;
        pollfd p{m_pImpl->fd, POLLOUT, 0};
        if (poll(&p, 1, timeoutMs) <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            return false;
        }
    }
    return true;
}

bool SerialPort::Read(std::string& bytes, int timeoutMs) {
    if (!m_pImpl) return false;
    pollfd p{m_pImpl->fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = poll(&p, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return false;
    if (ready == 0) return true;
    if (!(p.revents & POLLIN)) return false;  // hung up or gone, nothing left to read
    char buf[512];
    const ssize_t n = read(m_pImpl->fd, buf, sizeof buf);
    if (n > 0) {
        bytes.append(buf, static_cast<size_t>(n));
        return true;
    }
    // Readable yet nothing to read: the device went away.
    return n < 0 && (errno == EAGAIN || errno == EINTR);
}

void SerialPort::DropInput() {
    if (m_pImpl) tcflush(m_pImpl->fd, TCIFLUSH);
}
