// The thread and mutex classes that the login object is built on.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

// Error codes of JThread and JMutex operations (0 is success).
constexpr int ERR_JTHREAD_ALREADY_RUNNING = -1;
constexpr int ERR_JTHREAD_CANT_START = -2;
constexpr int ERR_JTHREAD_NOT_RUNNING = -3;
constexpr int ERR_JTHREAD_ABANDONED = -4;
constexpr int ERR_JMUTEX_NOT_INIT = -5;

class JMutex {
public:
    JMutex();
    ~JMutex();
    JMutex(const JMutex&) = delete;
    JMutex& operator=(const JMutex&) = delete;

    int Init();
    // Lock and unlock of a mutex that was never initialised do nothing.
    int Lock();
    int Unlock();
    bool IsInitialized() const { return m_bInitialized; }

private:
    std::mutex m_mutex;
    bool m_bInitialized = false;
};

class JThread {
public:
    JThread();
    virtual ~JThread();
    JThread(const JThread&) = delete;
    JThread& operator=(const JThread&) = delete;

    int Start();
    // Last resort: ends the use of a thread that did not stop when asked. A running C++ thread
    // cannot be terminated safely, so on POSIX the thread is detached and abandoned (the caller
    // must keep alive whatever the thread still uses); on Windows it is terminated.
    int Kill();
    bool IsRunning() const;
    // True once Kill had to abandon a thread that was still running.
    bool IsAbandoned() const { return m_bAbandoned.load(); }
    void* GetReturnValue() const { return m_pReturn; }

protected:
    // The thread body; it should call ThreadStarted() first.
    virtual void* Thread() = 0;
    void ThreadStarted();

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
    std::atomic<bool> m_bAbandoned{false};
    void* m_pReturn = nullptr;
};
