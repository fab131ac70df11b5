// Reading the service-provider name: which device errors are retried, on which clock, how often.
#include <gtest/gtest.h>

#include <future>
#include <stdexcept>

#include "FakeHost.h"
#include "RecordingClock.h"
#include "TraceCapture.h"
#include "global/GlobalAT.h"

namespace {

const char* const kBusy = "DEVGetSimBrand() sim busy, try again.";
const char* const kTimeOut = "DEVGetSimBrand() time out, try again.";

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

FakeMTSComm::Answer Fail(int32_t code) {
    return {false, "", code};
}

class DevGetSimBrandTest : public ::testing::Test {
protected:
    FakeMTSComm comm;
    RecordingClock clock;
    TraceCapture trace;
};

TEST_F(DevGetSimBrandTest, BusyAndTimedOutCardsAreAskedAgainAfterTwoSeconds) {
    comm.ScriptSpn({Fail(14), Fail(10003), Fail(14), {true, "CMCC", 0}});
    auto read = StartRead(&comm, &clock);
    for (uint64_t i = 0; i < 3; ++i) ASSERT_TRUE(clock.FinishSleep(i, 2000));
    const SpnRead result = read.get();

    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.spn, "CMCC");
    EXPECT_EQ(comm.SpnReads(), 4);
    EXPECT_EQ(clock.Requests(), (std::vector<uint32_t>{2000, 2000, 2000}));
    EXPECT_EQ(trace.Count(kBusy, 1), 2);
    EXPECT_EQ(trace.Count(kTimeOut, 1), 1);
    const TraceRecord record = trace.Find(kBusy);
    EXPECT_EQ(record.module, "GlobalAT");
    EXPECT_EQ(record.source, "global\\GlobalAT");
}

TEST_F(DevGetSimBrandTest, FileNotFoundAndNoSimAreFinalAtOnce) {
    for (const auto& [code, message] :
         {std::pair<int32_t, const char*>{22, "DEVGetSimBrand() file not found."},
          {10301, "DEVGetSimBrand() sim not inserted."}}) {
        FakeMTSComm card;
        card.ScriptSpn({Fail(code), {true, "late", 0}});
        const SpnRead result = StartRead(&card, &clock).get();
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, code);
        EXPECT_EQ(card.SpnReads(), 1);
        EXPECT_EQ(trace.Count(message, 1), 1);
    }
    EXPECT_TRUE(clock.Requests().empty());
}

TEST_F(DevGetSimBrandTest, AnyOtherErrorEndsAfterOneWait) {
    comm.ScriptSpn({Fail(7), {true, "late", 0}});
    auto read = StartRead(&comm, &clock);
    ASSERT_TRUE(clock.FinishSleep(0, 2000));
    const SpnRead result = read.get();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, 7);
    EXPECT_EQ(comm.SpnReads(), 1);
    EXPECT_EQ(trace.Count("DEVGetSimBrand() other error", 1), 1);
    EXPECT_EQ(trace.Count(kBusy), 0);
}

TEST_F(DevGetSimBrandTest, GivesUpAfterSixtyAttempts) {
    comm.ScriptSpn({Fail(14)});
    auto read = StartRead(&comm, &clock);
    for (uint64_t i = 0; i < 60; ++i) ASSERT_TRUE(clock.FinishSleep(i, 2000)) << i;
    const SpnRead result = read.get();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(comm.SpnReads(), 60);
    EXPECT_EQ(clock.Requests().size(), 60u);
}

TEST_F(DevGetSimBrandTest, AStoppedClockEndsTheRetriesAtOnce) {
    comm.ScriptSpn({Fail(10003)});
    auto read = StartRead(&comm, &clock);
    ASSERT_TRUE(clock.WaitForSleep(0));
    clock.Stop();
    const SpnRead result = read.get();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, 10003);
    EXPECT_EQ(comm.SpnReads(), 1);
    EXPECT_EQ(trace.Count(kTimeOut), 0);
}

TEST_F(DevGetSimBrandTest, NoCardOrAThrowingCardLeavesQuietly) {
    class ThrowingComm : public MTSComm {
    public:
        bool SRVGetImsiInfo(char*, int32_t&) override { return false; }
        bool SRVGetSpnData(char*, int32_t&) override { throw std::runtime_error("gone"); }
    } throwing;
    EXPECT_FALSE(StartRead(nullptr, &clock).get().ok);
    EXPECT_FALSE(StartRead(&throwing, &clock).get().ok);
    EXPECT_EQ(trace.Count("Leave DEVGetSimBrand() .", 4), 2);
}

}  // namespace
