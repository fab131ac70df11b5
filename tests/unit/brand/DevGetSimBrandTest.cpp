// Reading the service-provider name: which device errors are retried, on which clock, how often.
#include <gtest/gtest.h>

#include <future>
#include <stdexcept>

#include "FakeHost.h"
#include "ManualClock.h"
#include "libs/trace/TraceCapture.h"
#include "global/GlobalAT.h"

namespace {

struct SpnRead {
    bool ok;
    int32_t error;
    std::string spn;
};

std::future<SpnRead> StartRead(MTSComm* pComm, IClock* pClock) {
    return std::async(std::launch::async, [pComm, pClock] {
        char buf[MTS_SPN_BUFFER_SIZE] = {};
        int32_t error = 0;
        const bool ok = DEVGetSimBrand(pComm, buf, error, pClock);
        return SpnRead{ok, error, buf};
    });
}

TEST(DevGetSimBrandTest, BusyAndTimedOutCardsAreAskedAgainAfterTwoSecondsOthersAreFinal) {
    const char* const kBusy = "DEVGetSimBrand() sim busy, try again.";
    const struct {
        std::vector<int32_t> errors;  // then the card answers "CMCC"
        int reads;
        const char* message;  // traced at level 1 once per failed read
    } cases[] = {
        {{DEVICE_ERROR_SIM_BUSY, DEVICE_ERROR_TIMEOUT, DEVICE_ERROR_SIM_BUSY}, 4, nullptr},
        {std::vector<int32_t>(60, DEVICE_ERROR_SIM_BUSY), 60,
         kBusy},  // gives up after sixty attempts
        {{DEVICE_ERROR_SPN_NOT_FOUND}, 1, "DEVGetSimBrand() file not found."},
        {{DEVICE_ERROR_NO_SIM}, 1, "DEVGetSimBrand() sim not inserted."},
        {{7}, 1, "DEVGetSimBrand() other error"},  // after one wait
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reads);
        FakeMTSComm comm;
        std::vector<FakeMTSComm::Answer> script;
        for (int32_t e : c.errors) script.push_back({false, "", e});
        script.push_back({true, "CMCC", 0});
        comm.ScriptSpn(script);
        ManualClock clock;
        TraceCapture trace;
        auto read = StartRead(&comm, &clock);
        const bool retried =
            c.errors.back() != DEVICE_ERROR_SPN_NOT_FOUND && c.errors.back() != DEVICE_ERROR_NO_SIM;
        for (uint64_t i = 0; retried && i < c.errors.size(); ++i) {
            ASSERT_TRUE(clock.WaitForSleep(i)) << i;
            clock.Advance(2000);
        }
        const SpnRead result = read.get();
        EXPECT_EQ(result.ok, c.message == nullptr);
        if (result.ok)
            EXPECT_EQ(result.spn, "CMCC");
        else
            EXPECT_EQ(result.error, c.errors.back());
        EXPECT_EQ(comm.SpnReads(), c.reads);
        EXPECT_EQ(clock.SleepLengths(), std::vector<uint32_t>(retried ? c.errors.size() : 0, 2000));
        if (c.message) {
            EXPECT_EQ(trace.Count(c.message, 1), c.message == kBusy ? 60 : 1);
        } else {
            EXPECT_EQ(trace.Count(kBusy, 1), 2);
            EXPECT_EQ(trace.Count("DEVGetSimBrand() time out, try again.", 1), 1);
            EXPECT_EQ(trace.Find(kBusy).module, "GlobalAT");
            EXPECT_EQ(trace.Find(kBusy).source, "global\\GlobalAT");
        }
    }
}

TEST(DevGetSimBrandTest, NoCardOrAThrowingCardLeavesQuietly) {
    class ThrowingComm : public MTSComm {
    public:
        bool SRVGetImsiInfo(char*, int32_t&) override { return false; }
        bool SRVGetSpnData(char*, int32_t&) override { throw std::runtime_error("gone"); }
    } throwing;
    ManualClock clock;
    TraceCapture trace;
    EXPECT_FALSE(StartRead(nullptr, &clock).get().ok);
    EXPECT_FALSE(StartRead(&throwing, &clock).get().ok);
    EXPECT_EQ(trace.Count("Leave DEVGetSimBrand() .", 4), 2);
}

}  // namespace
