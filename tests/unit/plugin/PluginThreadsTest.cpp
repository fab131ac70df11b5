// Hosts ask for the plug-in's interfaces from several threads at once: two first requests for the
// same number make one object (and one device-event listener), never two. Run under
// ThreadSanitizer too, where an unguarded check-then-set is a reported race even when the two
// requests happen not to overlap.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>

#include "FakeHost.h"
#include "LoginPluginImpl.h"

namespace {

// Runs first(number) on two threads released together; their answers in a and b.
template <typename Call>
void OnTwoThreadsAtOnce(Call call, IBaseInterface*& a, IBaseInterface*& b) {
    std::atomic<int> ready{0};
    auto run = [&](IBaseInterface*& out) {
        ready.fetch_add(1);
        while (ready.load() < 2) std::this_thread::yield();
        out = call();
    };
    std::thread one(run, std::ref(a));
    std::thread two(run, std::ref(b));
    one.join();
    two.join();
}

TEST(PluginThreadsTest, TwoFirstRequestsOnTwoThreadsMakeOneObject) {
    for (int round = 0; round < 60; ++round) {
        const int32_t number = std::array<int32_t, 3>{1, 4, 20498}[round % 3];
        SCOPED_TRACE(number);
        FakeHost host;
        auto* plugin = new CLoginPluginImpl();
        plugin->SetPluginContainer(&host.container);
        IBaseInterface* a = nullptr;
        IBaseInterface* b = nullptr;
        OnTwoThreadsAtOnce(
            [&] {
                IBaseInterface* out = nullptr;
                return plugin->QueryInterface(number, &out) ? out : nullptr;
            },
            a, b);
        EXPECT_NE(a, nullptr);
        EXPECT_EQ(a, b);
        if (number == 1) {
            EXPECT_EQ(host.device.Listeners().size(), 1u);
        }
        plugin->Release();
    }
}

}  // namespace
