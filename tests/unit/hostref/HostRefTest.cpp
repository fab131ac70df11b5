// The one owner of host interfaces: one Release on every way out, none after a hand-over, the
// wrong kind given back at once, and a throwing Release either swallowed or passed on.
#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>

#include "FakeHost.h"
#include "global/HostRef.h"

namespace {

// A setting whose Release throws after counting.
class ThrowingSetting : public FakeSetting {
public:
    void Release() override {
        FakeSetting::Release();
        throw std::runtime_error("release");
    }
};

TEST(HostRefTest, ReleasesOnceOnEveryWayOutAndNeverAfterAHandOver) {
    FakeHost host;
    {
        HostRef<ISetting> first =
            QueryHost<ISetting>(&host.container, PLUGIN_ID_SETTING, IID_SETTING);
        ASSERT_EQ(first.Get(), &host.setting);
        HostRef<ISetting> second = std::move(first);
        EXPECT_FALSE(first);  // NOLINT(bugprone-use-after-move): a moved-from owner is empty
        HostRef<ISetting> third;
        third = std::move(second);
        EXPECT_EQ(host.setting.Releases(), 0);
    }
    EXPECT_EQ(host.setting.Releases(), 1);
    try {
        const HostRef<ISetting> held(&host.setting);
        throw std::runtime_error("way out");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(host.setting.Releases(), 2);
    HostRef<ISetting> detached(&host.setting);
    EXPECT_EQ(detached.Detach(), &host.setting);
    detached.Reset();
    EXPECT_EQ(host.setting.Releases(), 2);
}

TEST(HostRefTest, QueryTellsARefusalFromTheWrongKindAndGivesTheWrongKindBack) {
    FakeHost host;
    bool bAnswered = true;
    EXPECT_FALSE(QueryHost<ISetting>(nullptr, PLUGIN_ID_SETTING, IID_SETTING, &bAnswered));
    EXPECT_FALSE(bAnswered);
    host.container.Withdraw(PLUGIN_ID_SETTING, IID_SETTING);
    EXPECT_FALSE(QueryHost<ISetting>(&host.container, PLUGIN_ID_SETTING, IID_SETTING, &bAnswered));
    EXPECT_FALSE(bAnswered);
    host.container.Serve(PLUGIN_ID_SETTING, IID_SETTING, &host.check);
    EXPECT_FALSE(QueryHost<ISetting>(&host.container, PLUGIN_ID_SETTING, IID_SETTING, &bAnswered));
    EXPECT_TRUE(bAnswered);
    EXPECT_EQ(host.check.Releases(), 1);
}

TEST(HostRefTest, AThrowingReleaseIsSwallowedByResetAndPassedOnByRelease) {
    ThrowingSetting setting;
    {
        HostRef<ISetting> quiet(&setting);
        EXPECT_NO_THROW(quiet.Reset());
        const HostRef<ISetting> destroyed(&setting);
    }
    EXPECT_EQ(setting.Releases(), 2);
    HostRef<ISetting> loud(&setting);
    EXPECT_THROW(loud.Release(), std::runtime_error);
    EXPECT_FALSE(loud);  // given back even so: never released twice
    EXPECT_EQ(setting.Releases(), 3);
}

}  // namespace
