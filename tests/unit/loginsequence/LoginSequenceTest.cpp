// The login sequence's rules for the state code, over steps that report what the rows say; and
// the sequence carried out by the login object over the scripted HTTPS layer.
#include <deque>
#include <fstream>
#include <thread>

#include "LoginSequence.h"
#include "WorkerFixture.h"

namespace {

StepOutcome Found(const std::string& text, std::optional<int32_t> code = std::nullopt) {
    return {!text.empty(), text, code};
}
const StepOutcome kImsi = Found(kImsiA);
const StepOutcome kType = Found(kSimType);
const StepOutcome kAccepted{true, "", 0};
const StepOutcome kNoCode{false, "", std::nullopt};
StepOutcome Refusal(int32_t code) {
    return {false, "", code};
}

// What each step reports (registrations and logins answered in turn), and how the sequence ends.
struct Row {
    const char* rule;
    int32_t codeBefore;
    bool bStrict;
    StepOutcome identity, simType;
    const char *keyFile, *storedPassword, *registerUrl, *loginUrl;
    std::vector<StepOutcome> registrations, logins;
    int32_t codeAfter;
    bool bLoggedIn, bRegisteredAgain;
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
        return Next(m_registrations);
    }
    StepOutcome Login(const std::string&, const std::string& password,
                      const std::string&) override {
        passwords.push_back(password);
        return Next(m_logins);
    }
    std::vector<std::string> passwords;  // of the logins, in turn

private:
    static StepOutcome Next(std::deque<StepOutcome>& answers) {
        if (answers.empty()) {
            ADD_FAILURE() << "a step too many";
            return {};
        }
        StepOutcome next = answers.front();
        answers.pop_front();
        return next;
    }
    const Row& m_row;
    std::deque<StepOutcome> m_registrations, m_logins;
};

const char* const kKey = "Key.dtc";
const char* const kReg = kRegisterUrl;
const char* const kLog = kLoginUrl;
const StepOutcome kFresh = Found("fresh", 0);

// clang-format off
const Row kRows[] = {
    // rule, code before, strict, identity, SIM type, key file, stored password, register URL,
    // login URL, registrations, logins, code after, logged in, registered again
    {"accepted login leaves 0", 7, false, kImsi, kType, kKey, "pw", kReg, kLog,
     {}, {kAccepted}, 0, true, false},
    {"refusal 2: one registration, one more login", 0, false, kImsi, kType, kKey, "pw", kReg, kLog,
     {kFresh}, {Refusal(2), kAccepted}, 0, true, true},
    {"refusal 3 twice ends with 3", 0, false, kImsi, kType, kKey, "pw", kReg, kLog,
     {kFresh}, {Refusal(3), Refusal(3)}, 3, false, true},
    {"refusal 2, then the registration refused 4", 0, false, kImsi, kType, kKey, "pw", kReg, kLog,
     {Found("", 4)}, {Refusal(2)}, 4, false, true},
    {"refusal 2, no register URL: 2 stays", 0, false, kImsi, kType, kKey, "pw", "", kLog,
     {}, {Refusal(2)}, 2, false, true},
    {"other refusal: no registration", 0, false, kImsi, kType, kKey, "pw", kReg, kLog,
     {}, {Refusal(7)}, 7, false, false},
    {"exchange error: no registration", 0, false, kImsi, kType, kKey, "pw", kReg, kLog,
     {}, {Refusal(12029)}, 12029, false, false},
    {"failed login without a code, 0 before: success", 0, false, kImsi, kType, kKey, "pw", kReg,
     kLog, {}, {kNoCode}, 0, true, false},
    {"strict: failed login without a code is a failure", 0, true, kImsi, kType, kKey, "pw", kReg,
     kLog, {}, {kNoCode}, 0, false, false},
    {"failed login without a code, 9 before: failure", 9, false, kImsi, kType, kKey, "pw", kReg,
     kLog, {}, {kNoCode}, 9, false, false},
    {"failed login without a code, 2 before: registers again", 2, false, kImsi, kType, kKey, "pw",
     kReg, kLog, {kFresh}, {kNoCode, kAccepted}, 0, true, true},
    {"no stored password: registration first", 0, false, kImsi, kType, kKey, "", kReg, kLog,
     {Found("new", 0)}, {kAccepted}, 0, true, false},
    {"no stored password, registration refused 4", 0, false, kImsi, kType, kKey, "", kReg, kLog,
     {Found("", 4)}, {}, 4, false, false},
    {"no stored password, no register URL: code as it was", 5, false, kImsi, kType, kKey, "", "",
     kLog, {}, {}, 5, false, false},
    {"no login URL: code as it was", 6, false, kImsi, kType, kKey, "pw", kReg, "",
     {}, {}, 6, false, false},
    {"no identity: -2 over the card's code", 0, false, Found("", 1234), kType, kKey, "pw", kReg,
     kLog, {}, {}, -2, false, false},
    {"no SIM type: -3 over the brand read's code", 0, false, kImsi, Found("", 22), kKey, "pw", kReg,
     kLog, {}, {}, -3, false, false},
    {"no key file: -1", 0, false, kImsi, kType, "", "pw", kReg, kLog, {}, {}, -1, false, false},
    {"failed brand read, then a login without a code: its code stands", 0, false, kImsi,
     Found(kSimType, 22), kKey, "pw", kReg, kLog, {}, {kNoCode}, 22, false, false},
    {"failed card read, default identity: the login's code replaces it", 0, false,
     Found(kImsiB, 1234), kType, kKey, "pw", kReg, kLog, {}, {kAccepted}, 0, true, false},
};
// clang-format on

TEST(LoginSequenceRulesTest, EachRuleOfTheStateCode) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.rule);
        ScriptedSteps steps(row);
        SequenceEnd end;
        RunLoginSequence(steps, row.codeBefore,
                         row.bStrict ? SecurityPolicy::Strict() : SecurityPolicy(), end);
        EXPECT_EQ(end.code.value_or(row.codeBefore), row.codeAfter);
        EXPECT_EQ(end.bLoggedIn, row.bLoggedIn);
        EXPECT_EQ(end.bRegisteredAgain, row.bRegisteredAgain);
        if (steps.passwords.size() == 2) {  // the second login uses the fresh password
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

// A key file damaged past reading after the start takes the password of the next registration,
// so that the login after that needs none. (A deleted or foreign file: KeyStoreTest.)
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
