#include "JThread.h"

#include <condition_variable>
#include <thread>

#include "platform/thread_kill.h"

// State shared with the running thread, so that an abandoned thread never writes freed memory.
struct ThreadState {
    std::mutex mutex;
    std::condition_variable cv;
    bool started = false;
    std::atomic<bool> running{false};
};

struct JThread::Impl {
    std::thread thread;
    // Start may run on one host thread while another asks IsRunning.
    mutable std::mutex stateMutex;
    std::shared_ptr<ThreadState> state;

    std::shared_ptr<ThreadState> State() const {
        std::lock_guard<std::mutex> lock(stateMutex);
        return state;
    }
};

JThread::JThread() : m_pImpl(std::make_unique<Impl>()) {}

JThread::~JThread() {
    if (IsRunning()) {
        Kill();
    } else if (m_pImpl->thread.joinable()) {
        m_pImpl->thread.join();
    }
}

int JThread::Start() {
    if (IsRunning()) return ERR_JTHREAD_ALREADY_RUNNING;
    if (m_pImpl->thread.joinable()) m_pImpl->thread.join();

    auto state = std::make_shared<ThreadState>();
    state->running = true;
    {
        std::lock_guard<std::mutex> lock(m_pImpl->stateMutex);
        m_pImpl->state = state;
    }
    try {
        m_pImpl->thread = std::thread([this, state] {
            void* result = Thread();
            m_pReturn = result;
            // A body that never signalled must not leave Start waiting.
            {
                std::lock_guard<std::mutex> lock(state->mutex);
                state->started = true;
            }
            state->cv.notify_all();
            state->running = false;
        });
    } catch (...) {
        state->running = false;
        return ERR_JTHREAD_CANT_START;
    }
    // As the thread library promises: Start returns once the body has signalled that it runs.
    std::unique_lock<std::mutex> lock(state->mutex);
    state->cv.wait(lock, [&] { return state->started; });
    return 0;
}

void JThread::ThreadStarted() {
    auto state = m_pImpl->State();
    if (!state) return;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->started = true;
    }
    state->cv.notify_all();
}

bool JThread::IsRunning() const {
    auto state = m_pImpl->State();
    return state && state->running.load();
}

int JThread::Kill() {
    if (!IsRunning()) {
        if (m_pImpl->thread.joinable()) m_pImpl->thread.join();
        return ERR_JTHREAD_NOT_RUNNING;
    }
    const bool terminated = TerminateOrAbandon(m_pImpl->thread);
    if (terminated) {
        m_pImpl->State()->running = false;
        return 0;
    }
    m_bAbandoned = true;
    return ERR_JTHREAD_ABANDONED;
}
