// The SIM's identity: the card's IMSI, its cache, and the default identity in the registry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "FakeHost.h"
#include "IdentitySource.h"
#include "LoginSettings.h"
#include "ManualClock.h"
#include "RegistrySandbox.h"
#include "libs/trace/TraceCapture.h"

namespace {

const char* const kVelko = LOGIN_REGISTRY_PRODUCT_KEY;
const char* const kSettings = LOGIN_REGISTRY_IDENTITY_KEY;
const char* const kValue = LOGIN_REGISTRY_IDENTITY_VALUE;
constexpr int64_t kNow = 1700000000;  // 2023-11-14 22:13:20 UTC

// "9", four different digits, then the ten time digits.
void ExpectWellFormed(const std::string& identity) {
    ASSERT_EQ(identity.size(), 15u) << identity;
    EXPECT_EQ(identity[0], '9') << identity;
    EXPECT_EQ(std::set<char>(identity.begin() + 1, identity.begin() + 5).size(), 4u) << identity;
    EXPECT_EQ(identity.find_first_not_of("0123456789"), std::string::npos) << identity;
}

class IdentityTest : public ::testing::Test {
protected:
    IdentityTest() { RegistrySandbox::UseUtc(); }
    std::string Stored() const { return sandbox.GetString(kSettings, kValue); }
    std::string ReadCard() {
        uint64_t ticket = 0;
        return source.ReadCard(ticket).text;
    }

    RegistrySandbox sandbox;
    FakeHost host;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>(kNow);
    IdentitySource source{&host.container, *clock};
    TraceCapture trace;
};

TEST_F(IdentityTest, AFailedOrEmptyCardReadFallsBackToTheStoredDefaultIdentity) {
    sandbox.CreateKey(kVelko);
    host.comm.ScriptImsi({{false, "", 1234}});
    const StepOutcome found = source.Get();
    const std::string& identity = found.text;
    ExpectWellFormed(identity);
    EXPECT_EQ(identity.substr(5), "1114221320");
    EXPECT_EQ(found.code, 1234);
    EXPECT_EQ(Stored(), identity.substr(1));
    EXPECT_TRUE(sandbox.IsVolatile(kSettings));
    const TraceRecord record = trace.Find("pMTSComm->SRVGetImsiInfo() failed!");
    EXPECT_EQ(record.level, 2);
    EXPECT_EQ(record.module, "LoginPlguin");
    EXPECT_EQ(record.source, "src\\LoginPlugin\\LoginImpl");

    host.comm.SetImsi("");
    EXPECT_EQ(ReadCard(), "");
    EXPECT_EQ(source.Get().text, identity);

    host.device.SetComm(nullptr);
    EXPECT_EQ(ReadCard(), "");
    EXPECT_EQ(trace.Find("pMTSComm is NULL!").level, 3);
    host.container.Withdraw(PLUGIN_ID_CHECK_DEVICE_TYPE, IID_CHECK_DEVICE_TYPE);
    EXPECT_EQ(ReadCard(), "");
    EXPECT_EQ(trace.Find("pICheckDeviceType is NULL!").level, 3);
}

TEST_F(IdentityTest, AStoredValueOfFourteenCharactersIsTheIdentityOthersAreReplaced) {
    sandbox.CreateKey(kSettings);
    sandbox.SetString(kSettings, kValue, "12340102030405");
    EXPECT_EQ(source.Default(), "912340102030405");
    EXPECT_EQ(Stored(), "12340102030405");
    for (const char* old : {"1234010203040", "123401020304056", ""}) {
        sandbox.SetString(kSettings, kValue, old);
        const std::string identity = source.Default();
        ExpectWellFormed(identity);
        EXPECT_EQ(Stored(), identity.substr(1)) << old;
        clock->Advance(1000);
        EXPECT_EQ(source.Default(), identity) << old;
    }
}

// Past January 2038 a 32-bit time_t overflows; every build converts the clock's 64-bit seconds.
TEST_F(IdentityTest, TheTimeDigitsOfAMomentPastTheYear2038) {
    ManualClock laterClock(4102448523);
    IdentitySource later{&host.container, laterClock};
    std::string identity;
    later.CreateDefault(identity);
    EXPECT_EQ(identity.substr(5), "0101010203");  // 2100-01-01 01:02:03 UTC
}

TEST_F(IdentityTest, WithoutTheParentKeyEveryCallMakesANewIdentityAndStoresNothing) {
    std::string first;
    EXPECT_EQ(source.CreateDefault(first), -1);
    ExpectWellFormed(first);
    clock->Advance(1000);
    EXPECT_NE(source.Default(), first);
    EXPECT_FALSE(sandbox.KeyExists(kVelko));

    // The cache keeps one identity until a device event reads the card again.
    host.comm.ScriptImsi({{false, "", 7}});
    const std::string cached = source.Get().text;
    clock->Advance(1000);
    EXPECT_EQ(source.Get().text, cached);
    ReadCard();  // as a device event does
    EXPECT_NE(source.Get().text, cached);
}

TEST_F(IdentityTest, CreateReportsAKeyThatCannotBeMade) {
    sandbox.CreateKey(kVelko);
    if (!sandbox.BlockKey(kSettings)) GTEST_SKIP() << "no way to block a key here";
    std::string identity;
    EXPECT_EQ(source.CreateDefault(identity), -2);
    ExpectWellFormed(identity);
}

TEST_F(IdentityTest, CreateReportsAValueThatCannotBeWritten) {
    sandbox.CreateKey(kSettings);
    if (!sandbox.BlockValue(kSettings, kValue)) GTEST_SKIP() << "no way to block a value here";
    std::string identity;
    EXPECT_EQ(source.CreateDefault(identity), -3);
    ExpectWellFormed(identity);
}

TEST_F(IdentityTest, IdentitiesOfOneSecondAreEqualOnAnyThreadAndOthersVary) {
    std::set<std::string> digitSets;
    for (int second = 0; second < 300; ++second) {
        std::string a, b;
        source.CreateDefault(a);
        source.CreateDefault(b);
        ASSERT_EQ(a, b);
        digitSets.insert(a.substr(1, 4));
        clock->Advance(1000);
    }
    // 5040 possible draws; a shuffle that ignored its seed would give a handful.
    EXPECT_GT(digitSets.size(), 100u);

    std::string reference;
    source.CreateDefault(reference);
    std::vector<std::string> results[2];
    std::vector<std::thread> threads;
    for (auto& out : results)
        threads.emplace_back([&] {
            for (int i = 0; i < 300; ++i) source.CreateDefault(out.emplace_back());
        });
    for (auto& t : threads) t.join();
    for (const auto& out : results)
        for (const auto& identity : out) ASSERT_EQ(identity, reference);
}

TEST(IdentityRandomTest, MakingTheDefaultIdentityLeavesTheHostsRandSequenceAlone) {
    RegistrySandbox::UseUtc();
    RegistrySandbox sandbox;
    FakeHost host;
    ManualClock clock(kNow);
    IdentitySource source{&host.container, clock};
    std::srand(4242);
    const int first = std::rand();
    const int second = std::rand();
    std::srand(4242);
    EXPECT_EQ(std::rand(), first);
    std::string identity;
    source.CreateDefault(identity);
    ExpectWellFormed(identity);
    EXPECT_EQ(std::rand(), second);
}

}  // namespace
