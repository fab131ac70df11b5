// What the demo needs of the operating system besides the plug-in: starting the account server
// as a child process and keeping the plug-in's registry writes out of the user's own store.
// One implementation per OS: DemoPlatformPosix.cpp, DemoPlatformWin32.cpp.
#pragma once

#include <memory>
#include <string>
#include <vector>

class ServerProcess {
public:
    ServerProcess();
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Whether this build can start the account server at all; false with why set.
    static bool Supported(std::string& why);
    // Starts the account server with its arguments, its request log (standard error) going to
    // logPath, and waits until it tells the port it listens on. False with error set otherwise.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               const std::string& logPath, int& port, std::string& error);
    // Asks the server to stop and waits for it. Safe to call twice.
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};

// The account server's program file name on this OS.
std::string ServerProgramName();

// Points the plug-in's registry at a store under root; false where the registry is the system's
// own (Windows), which the demo then leaves as it is.
bool IsolateRegistry(const std::string& root);
