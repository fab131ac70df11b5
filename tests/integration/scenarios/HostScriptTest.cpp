// The reference host's script language, its JSON line and its reading of the plug-in's trace
// file: what the scenarios rely on to drive the host and to read its results.
#include <gtest/gtest.h>

#include "HostProgress.h"
#include "HostReport.h"
#include "HostScript.h"

namespace {

using Kind = ScriptStep::Kind;

std::string ParseError(const std::string& text) {
    HostScript script;
    std::string error;
    EXPECT_FALSE(script.Parse("s.script", text, error)) << text;
    return error;
}

TEST(HostScript, StepsWithTheirArguments) {
    HostScript script;
    std::string error;
    ASSERT_TRUE(script.Parse("s.script",
                             "# a comment\n"
                             "\n"
                             "  event 50083  \n"
                             "; another comment\n"
                             "wait-login\n"
                             "wait-logout 2.5\n"
                             "wait-trace 3  DoLoginServer failed! \n"
                             "set card.spn = China  Mobile \n"
                             "set card.spn_errors=14, 14,0\n"
                             "set net.check_result=-1\n"
                             "check-sim-type 5\n"
                             "check-sim-type\n"
                             "expect skin dialog 2\n"
                             "expect login false\n"
                             "destroy\n"
                             "sleep 0.5\n"
                             "expect error 3\n",
                             error))
        << error;
    const auto& steps = script.Steps();
    ASSERT_EQ(steps.size(), 14u);
    EXPECT_EQ(steps[0].kind, Kind::kEvent);
    EXPECT_EQ(steps[0].number, 50083);
    EXPECT_EQ(steps[0].line, 3);
    EXPECT_EQ(steps[1].kind, Kind::kWaitLogin);
    EXPECT_LT(steps[1].seconds, 0);  // the run's time-out
    EXPECT_EQ(steps[2].kind, Kind::kWaitLogout);
    EXPECT_DOUBLE_EQ(steps[2].seconds, 2.5);
    EXPECT_EQ(steps[3].kind, Kind::kWaitTrace);
    EXPECT_DOUBLE_EQ(steps[3].seconds, 3);
    EXPECT_EQ(steps[3].value, "DoLoginServer failed!");
    EXPECT_EQ(steps[4].kind, Kind::kSetCard);
    EXPECT_EQ(steps[4].key, "spn");
    EXPECT_EQ(steps[4].value, "China  Mobile");
    EXPECT_EQ(steps[6].kind, Kind::kSetNet);
    EXPECT_EQ(steps[6].number, -1);
    EXPECT_EQ(steps[7].value, "5");
    EXPECT_EQ(steps[8].kind, Kind::kCheckSimType);
    EXPECT_EQ(steps[8].value, "");
    EXPECT_EQ(steps[9].kind, Kind::kExpectSkin);
    EXPECT_EQ(steps[9].key, "dialog");
    EXPECT_EQ(steps[9].number, 2);
    EXPECT_EQ(steps[10].kind, Kind::kExpectLogin);
    EXPECT_FALSE(steps[10].flag);
    EXPECT_EQ(steps[13].kind, Kind::kExpectError);
    EXPECT_EQ(steps[13].number, 3);
}

TEST(HostScript, ErrorsNameTheFileAndLine) {
    EXPECT_EQ(ParseError("event 50082\n# c\n\njump 3\n"), "s.script:4: unknown step 'jump'");
    EXPECT_EQ(ParseError("event x\n"), "s.script:1: bad number 'x'");
    EXPECT_EQ(ParseError("event\n"), "s.script:1: 'event' takes 1 argument(s)");
    EXPECT_EQ(ParseError("start-login now\n"), "s.script:1: 'start-login' takes 0 argument(s)");
    EXPECT_EQ(ParseError("sleep -1\n"), "s.script:1: bad number of seconds '-1'");
    EXPECT_EQ(ParseError("wait-login 1s\n"), "s.script:1: bad number of seconds '1s'");
    EXPECT_EQ(ParseError("set card.spn_errors=14,x\n"),
              "s.script:1: bad number list for spn_errors: '14,x'");
    EXPECT_EQ(ParseError("set card.imsi_error=1,2\n"),
              "s.script:1: bad number for imsi_error: '1,2'");
    EXPECT_EQ(ParseError("set card.comm=maybe\n"), "s.script:1: comm must be yes or no: 'maybe'");
    EXPECT_NE(ParseError("set card.colour=red\n").find("unknown card key 'colour'"),
              std::string::npos);
    EXPECT_NE(ParseError("set net.speed=2\n").find("unknown net key 'speed'"), std::string::npos);
    EXPECT_NE(ParseError("set imsi=1\n").find("'set' takes"), std::string::npos);
    EXPECT_EQ(ParseError("wait-trace 3\n"), "s.script:1: 'wait-trace' takes SECONDS TEXT");
    EXPECT_NE(ParseError("expect login yes\n").find("'expect' takes"), std::string::npos);
    EXPECT_EQ(ParseError("add-listener a\nremove-listener a\nremove-listener b\n"),
              "s.script:3: no listener 'b' was added");
    // Nothing but waiting and expecting after the plug-in is gone.
    EXPECT_EQ(ParseError("destroy\nexpect login true\nquery 3\n"),
              "s.script:3: 'query 3' after destroy (only sleep and expect may follow)");
}

TEST(HostJson, OutcomeFieldsAndEscapes) {
    LoginOutcome outcome;
    outcome.bLogin = true;
    outcome.nError = -2;
    outcome.imsi = "460001234567890";
    outcome.encodeKey = "a\"b\\c";
    outcome.sessionId = "line\nnext\x01";
    outcome.password = "密码";
    EXPECT_EQ(OutcomeJson(outcome),
              "{\"login\":true,\"error\":-2,\"imsi\":\"460001234567890\","
              "\"encodekey\":\"a\\\"b\\\\c\",\"sessionid\":\"line\\nnext\\u0001\","
              "\"password\":\"密码\"}");
    EXPECT_EQ(OutcomeJson(LoginOutcome()),
              "{\"login\":false,\"error\":0,\"imsi\":\"\",\"encodekey\":\"\",\"sessionid\":\"\","
              "\"password\":\"\"}");
}

TEST(HostProgress, TraceLinesOfThePluginsFile) {
    TraceLine record;
    ASSERT_TRUE(
        ParseTraceLine("2026-12-06 01:28:50.884 [139725782616576] ERRO LoginPlguin "
                       "src\\LoginPlugin\\LoginImpl:71 HttpSendRequest() return other "
                       "error code : 12029",
                       record));
    EXPECT_EQ(record.level, "ERRO");
    EXPECT_EQ(record.module, "LoginPlguin");
    EXPECT_EQ(record.source, "src\\LoginPlugin\\LoginImpl:71");
    EXPECT_EQ(record.message, "HttpSendRequest() return other error code : 12029");
    // A message may begin with a space.
    ASSERT_TRUE(ParseTraceLine("d t [1] ERRO m s:1  FileManager.Open() failed!", record));
    EXPECT_EQ(record.message, " FileManager.Open() failed!");
    EXPECT_FALSE(ParseTraceLine("", record));
    EXPECT_FALSE(ParseTraceLine("2026-12-06 01:28:50.884 ERRO LoginPlguin s:1 text", record));
    EXPECT_FALSE(ParseTraceLine("d t [1] ERRO m", record));
}

}  // namespace
