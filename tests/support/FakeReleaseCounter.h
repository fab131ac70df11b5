// The counted Release of the fake host's objects: they live as long as the test's host.
#pragma once

#include <atomic>

// Counts Release calls; the host's objects live as long as the test's FakeHost.
class FakeReleaseCounter {
public:
    int Releases() const { return m_nReleases; }

protected:
    void CountRelease() { ++m_nReleases; }

private:
    std::atomic<int> m_nReleases{0};
};
