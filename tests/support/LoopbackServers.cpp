#include "LoopbackServers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

bool AccountServer::Start(const std::vector<std::string>& switches, std::string& error) {
    std::vector<std::string> argv = {ACCOUNT_SERVER_PATH, "--port", "0"};
    argv.insert(argv.end(), switches.begin(), switches.end());
    if (!m_process.Start(argv, error)) return false;
    std::string line = m_process.WaitForLine("port ");
    if (line.rfind("port ", 0) != 0) {
        error = "account-server did not tell its port";
        return false;
    }
    m_port = static_cast<uint16_t>(std::atoi(line.c_str() + 5));
    return true;
}

uint16_t UnusedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    uint16_t port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

bool AuthProxy::Start(const std::string& user, const std::string& password, uint16_t connectPort,
                      std::string& error) {
    if (m_dir.Path().empty()) {
        error = "no temporary directory";
        return false;
    }
    // The port is free when chosen; another program may take it before the proxy does.
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = UnusedPort();
        std::string config = m_dir.Path() + "/tinyproxy.conf";
        std::ofstream(config) << "Port " << m_port
                              << "\nListen 127.0.0.1\nTimeout 60\nMaxClients 16\nLogLevel Info\n"
                                 "Allow 127.0.0.1\nDisableViaHeader Yes\nBasicAuth "
                              << user << " " << password << "\nConnectPort " << connectPort << "\n";
        m_process.Stop();
        if (!m_process.Start({"tinyproxy", "-d", "-c", config}, error)) return false;
        if (!m_process.WaitForLine("Accepting connections").empty()) return true;
    }
    error = "tinyproxy did not start";
    return false;
}
