// The skin-change listeners: the list in order of registration and the bookkeeping of the calls
// in progress, so that a listener removed on one thread is never called after its removal ends.
#pragma once

#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "ILogin.h"

class SkinListeners {
public:
    void Add(ISkinControlEvent* pHandler);
    // Returns once no call of the listener on another thread is in progress. Its own call, when
    // it removes itself from inside, is not waited for (that would never end).
    void Remove(ISkinControlEvent* pHandler);
    // A copy, safe to walk while listeners are added or removed.
    std::vector<ISkinControlEvent*> Snapshot() const;
    // Tells each listener, outside the lock, so that one may add or remove listeners; one that
    // was removed meanwhile is skipped.
    void Tell(SkinChangeInfo& change);

private:
    mutable std::mutex m_guard;  // m_handlers, m_calls
    std::list<ISkinControlEvent*> m_handlers;
    // The listener calls in progress and their threads: a removal waits for those of others.
    std::vector<std::pair<ISkinControlEvent*, std::thread::id>> m_calls;
    std::condition_variable m_callEnded;
};
