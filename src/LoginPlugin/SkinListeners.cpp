#include "SkinListeners.h"

#include <algorithm>

#include "libs/trace/Trace.h"

namespace {
// The records keep the login object's site: users read them as its own.
constexpr TraceSite kTrace{"LoginPlugin", "src\\LoginPlugin\\LoginImpl"};
}  // namespace

void SkinListeners::Add(ISkinControlEvent* pHandler) {
    std::lock_guard<std::mutex> lock(m_guard);
    m_handlers.push_back(pHandler);
}

void SkinListeners::Remove(ISkinControlEvent* pHandler) {
    std::unique_lock<std::mutex> lock(m_guard);
    m_handlers.remove(pHandler);
    const std::thread::id self = std::this_thread::get_id();
    m_callEnded.wait(lock, [&] {
        return std::none_of(m_calls.begin(), m_calls.end(), [&](const auto& call) {
            return call.first == pHandler && call.second != self;
        });
    });
}

std::vector<ISkinControlEvent*> SkinListeners::Snapshot() const {
    std::lock_guard<std::mutex> lock(m_guard);
    return {m_handlers.begin(), m_handlers.end()};
}

void SkinListeners::Tell(SkinChangeInfo& change) {
    // Each call is noted while it runs, so that a removal on another thread waits for it to end.
    for (ISkinControlEvent* pHandler : Snapshot()) {
        {
            std::lock_guard<std::mutex> lock(m_guard);
            if (!pHandler ||
                std::find(m_handlers.begin(), m_handlers.end(), pHandler) == m_handlers.end())
                continue;
            m_calls.emplace_back(pHandler, std::this_thread::get_id());
        }
        // Ends the note however the call ends (a listener may throw).
        struct CallNote {
            SkinListeners& listeners;
            ISkinControlEvent* pHandler;
            ~CallNote() {
                {
                    std::lock_guard<std::mutex> lock(listeners.m_guard);
                    auto& calls = listeners.m_calls;
                    const auto mine =
                        std::find(calls.begin(), calls.end(),
                                  std::make_pair(pHandler, std::this_thread::get_id()));
                    if (mine != calls.end()) calls.erase(mine);
                }
                listeners.m_callEnded.notify_all();
            }
        } note{*this, pHandler};
        TRACE_AT(kTrace, TRACE_INFO, "(*it)->OnSkinChange()");
        pHandler->OnSkinChange(&change);
    }
}
