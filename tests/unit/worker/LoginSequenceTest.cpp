// The login sequence's rules for the state code, over steps that report what the rows say; and
// the sequence carried out by the login object over the scripted HTTPS layer.
#include <deque>
#include <fstream>
#include <thread>

#include "LoginSequence.h"
#include "WorkerFixture.h"

namespace {

StepOutcome Found(const std::string& text, std::optional<int32_t> code = std::nullopt) {
    StepOutcome outcome;
    outcome.bOk = !text.empty();
    outcome.text = text;
    outcome.code = code;
    return outcome;
}
StepOutcome LoginAnswer(bool bOk, std::optional<int32_t> code) {
    StepOutcome outcome;
    outcome.bOk = bOk;
    outcome.code = code;
    return outcome;
}
const StepOutcome kAccepted = LoginAnswer(true, 0);
StepOutcome Refusal(int32_t code) {
    return LoginAnswer(false, code);
}
const StepOutcome kNoCode = LoginAnswer(false, std::nullopt);

// What each step reports; registrations and logins are answered in turn.
struct Row {
    const char* rule;
    int32_t codeBefore = 0;
    bool bStrict = false;
    StepOutcome identity = Found(kImsiA);
    StepOutcome simType = Found(kSimType);
    std::string keyFile = "Key.dtc";
    std::string storedPassword = "pw";
    std::string registerUrl = kRegisterUrl;
    std::string loginUrl = kLoginUrl;
    std::vector<StepOutcome> registrations;
    std::vector<StepOutcome> logins;
    // Expected.
    int32_t codeAfter = 0;
    bool bLoggedIn = false;
    bool bRegisteredAgain = false;
};

class ScriptedSteps : public LoginSteps {
public:
    explicit ScriptedSteps(const Row& row)
        : m_row(row),
          m_registrations(row.registrations.begin(), row.registrations.end()),
          m_logins(row.logins.begin(), row.logins.end()) {}
    StepOutcome Identity() override { return m_row.identity; }
    StepOutcome SimType() override { return m_row.simType; }
    std::string KeyFile() override { return m_row.keyFile; }
    std::string StoredPassword(const std::string&) override { return m_row.storedPassword; }
    std::string RegisterUrl() override { return m_row.registerUrl; }
    std::string LoginUrl() override { return m_row.loginUrl; }
    StepOutcome Register(const std::string&, const std::string&) override {
        return Next(m_registrations, "registration");
    }
    StepOutcome Login(const std::string&, const std::string& password,
                      const std::string&) override {
        passwords.push_back(password);
        return Next(m_logins, "login");
    }
    std::vector<std::string> passwords;  // of the logins, in turn

private:
    static StepOutcome Next(std::deque<StepOutcome>& answers, const char* what) {
        if (answers.empty()) {
            ADD_FAILURE() << "one " << what << " too many";
            return {};
        }
        StepOutcome next = answers.front();
        answers.pop_front();
        return next;
    }
    const Row& m_row;
    std::deque<StepOutcome> m_registrations;
    std::deque<StepOutcome> m_logins;
};

Row MakeRow(const char* rule, int32_t before, std::vector<StepOutcome> registrations,
            std::vector<StepOutcome> logins, int32_t after, bool bLoggedIn,
            bool bRegisteredAgain = false) {
    Row row;
    row.rule = rule;
    row.codeBefore = before;
    row.registrations = std::move(registrations);
    row.logins = std::move(logins);
    row.codeAfter = after;
    row.bLoggedIn = bLoggedIn;
    row.bRegisteredAgain = bRegisteredAgain;
    return row;
}

std::vector<Row> Rows() {
    std::vector<Row> rows;
    rows.push_back(MakeRow("accepted login leaves 0", 7, {}, {kAccepted}, 0, true));
    rows.push_back(MakeRow("refusal 2: one registration, one more login", 0, {Found("fresh", 0)},
                           {Refusal(2), kAccepted}, 0, true, true));
    rows.push_back(MakeRow("refusal 3 twice ends with 3", 0, {Found("fresh", 0)},
                           {Refusal(3), Refusal(3)}, 3, false, true));
    rows.push_back(MakeRow("refusal 2, the registration refused 4", 0, {Found("", 4)}, {Refusal(2)},
                           4, false, true));
    rows.push_back(MakeRow("other refusal: no registration", 0, {}, {Refusal(7)}, 7, false));
    rows.push_back(
        MakeRow("exchange error: no registration", 0, {}, {Refusal(12029)}, 12029, false));
    rows.push_back(
        MakeRow("failed login without a code, code 0 before: success", 0, {}, {kNoCode}, 0, true));
    rows.push_back(
        MakeRow("failed login without a code, code 9 before: failure", 9, {}, {kNoCode}, 9, false));
    rows.push_back(MakeRow("failed login without a code, code 2 before: registers again", 2,
                           {Found("fresh", 0)}, {kNoCode, kAccepted}, 0, true, true));
    {
        Row row =
            MakeRow("strict: failed login without a code is a failure", 0, {}, {kNoCode}, 0, false);
        row.bStrict = true;
        rows.push_back(row);
    }
    {
        Row row = MakeRow("no stored password: registration first", 0, {Found("new", 0)},
                          {kAccepted}, 0, true);
        row.storedPassword = "";
        rows.push_back(row);
    }
    {
        Row row =
            MakeRow("no stored password, registration refused 4", 0, {Found("", 4)}, {}, 4, false);
        row.storedPassword = "";
        rows.push_back(row);
    }
    {
        Row row =
            MakeRow("no stored password, no register URL: code as it was", 5, {}, {}, 5, false);
        row.storedPassword = "";
        row.registerUrl = "";
        rows.push_back(row);
    }
    {
        Row row = MakeRow("no login URL: code as it was", 6, {}, {}, 6, false);
        row.loginUrl = "";
        rows.push_back(row);
    }
    {
        Row row = MakeRow("no identity: -2 over the card's code", 0, {}, {}, -2, false);
        row.identity = Found("", 1234);
        rows.push_back(row);
    }
    {
        Row row = MakeRow("no SIM type: -3", 0, {}, {}, -3, false);
        row.simType = Found("", 22);
        rows.push_back(row);
    }
    {
        Row row = MakeRow("no key file: -1", 0, {}, {}, -1, false);
        row.keyFile = "";
        rows.push_back(row);
    }
    {
        Row row = MakeRow("failed brand read then a login without a code: its code stands", 0, {},
                          {kNoCode}, 22, false);
        row.simType = Found(kSimType, 22);
        rows.push_back(row);
    }
    {
        Row row = MakeRow("failed card read, identity from the default: a login replaces it", 0, {},
                          {kAccepted}, 0, true);
        row.identity = Found(kImsiB, 1234);
        rows.push_back(row);
    }
    return rows;
}

TEST(LoginSequenceRulesTest, EachRuleOfTheStateCode) {
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.rule);
        ScriptedSteps steps(row);
        SequenceEnd end;
        RunLoginSequence(steps, row.codeBefore,
                         row.bStrict ? SecurityPolicy::Strict() : SecurityPolicy(), end);
        EXPECT_EQ(end.code.value_or(row.codeBefore), row.codeAfter);
        EXPECT_EQ(end.bLoggedIn, row.bLoggedIn);
        EXPECT_EQ(end.bRegisteredAgain, row.bRegisteredAgain);
        if (row.bRegisteredAgain && steps.passwords.size() == 2) {
            EXPECT_EQ(steps.passwords[1], row.registrations.back().text);
        }
    }
}

using LoginSequenceTest = WorkerTest;

// The steps as the login object carries them out: the requests, the stored password, the
// result and the code the host reads.
TEST_F(LoginSequenceTest, WithoutAStoredPasswordItRegistersThenLogsIn) {
    https.Script().Replies(200, Registered("pw-1")).Replies(200, Accepted("S1"));
    ASSERT_TRUE(login.DoLoginThread());

    EXPECT_EQ(Bodies(),
              (std::vector<std::string>{RegisterBody(kImsiA), LoginBody(kImsiA, "pw-1")}));
    const auto requests = https.Calls("OpenRequest");
    EXPECT_EQ(requests[0].text2, "/register");
    EXPECT_EQ(requests[1].text2, "/login");
    EXPECT_TRUE(login.IsLoginSuccess());
    EXPECT_EQ(login.GetErrorCode(), 0);
    EXPECT_EQ(login.GetPassword(), "pw-1");
    EXPECT_EQ(login.GetLoginResult().strSessionId, "S1");
    EXPECT_EQ(login.ReadPwd(login.GetKeyFile()), "pw-1");  // kept for the next run
    EXPECT_EQ(trace.Count("Enter DoLoginThread()!", 4), 1);
    EXPECT_EQ(trace.Count("Leave DoLoginThread()!", 4), 1);
}

// In strict mode too: the fresh password's login carries a session.
TEST_F(LoginSequenceTest, RefusalLeadsToOneRegistrationAndOneMoreLogin) {
    for (const char* strict : {"0", "1"}) {
        SCOPED_TRACE(strict);
        host.setting.Sys("SECURITY", "STRICT", strict);
        StorePassword("stale");
        const size_t before = Bodies().size();
        https.Script()
            .Replies(200, Refused(2))
            .Replies(200, Registered("fresh"))
            .Replies(200, Accepted("S3"));
        ASSERT_TRUE(login.DoLoginThread());
        const std::vector<std::string> bodies = Bodies();
        EXPECT_EQ(std::vector<std::string>(bodies.begin() + before, bodies.end()),
                  (std::vector<std::string>{LoginBody(kImsiA, "stale"), RegisterBody(kImsiA),
                                            LoginBody(kImsiA, "fresh")}));
        EXPECT_TRUE(login.IsLoginSuccess());
        EXPECT_EQ(login.GetPassword(), "fresh");
        EXPECT_EQ(login.GetErrorCode(), 0);
    }
}

// A key file damaged past reading after the start takes the password of the next registration,
// so that the login after that needs none. (A deleted or foreign file: KeyFileTest.)
TEST_F(LoginSequenceTest, AfterTheKeyFileIsLostTheNextRegistrationStoresItsPasswordAgain) {
    https.Script()
        .Replies(200, Registered("pw-1"))
        .Replies(200, Accepted("S1"))
        .Replies(200, Registered("pw-2"))
        .Replies(200, Accepted("S2"))
        .Replies(200, Accepted("S3"));
    ASSERT_TRUE(login.DoLoginThread());
    std::ofstream(login.GetKeyFile(), std::ios::binary | std::ios::trunc) << "not a record file";
    ASSERT_TRUE(login.DoLoginThread());
    ASSERT_TRUE(login.DoLoginThread());
    EXPECT_EQ(Bodies(), (std::vector<std::string>{RegisterBody(kImsiA), LoginBody(kImsiA, "pw-1"),
                                                  RegisterBody(kImsiA), LoginBody(kImsiA, "pw-2"),
                                                  LoginBody(kImsiA, "pw-2")}));
    EXPECT_FALSE(trace.Has("WritePwd() throw CVelkoException exception!"));
}

TEST_F(LoginSequenceTest, SecondSequenceWhileOneRunsReturnsAtOnce) {
    StorePassword("pw");
    https.HoldSends();
    bool bFirst = false;
    std::thread first([&] { bFirst = login.DoLoginThread(); });
    ASSERT_TRUE(https.WaitForBlockedSend());
    EXPECT_FALSE(login.DoLoginThread());
    EXPECT_EQ(trace.Count("Enter DoLoginThread()!", 4), 2);
    https.Script().Replies(200, Accepted("S"));
    https.ReleaseSends();
    first.join();
    EXPECT_TRUE(bFirst);
    EXPECT_EQ(https.Count("Send"), 1);
}

}  // namespace
