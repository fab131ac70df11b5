#include "AtReplies.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

std::string Trim(const std::string& s, const char* blanks = " \t") {
    const size_t first = s.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

std::string Unquoted(const std::string& s) {
    std::string t = Trim(s);
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"') t = Trim(t.substr(1, t.size() - 2));
    return t;
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The rest of the line after a tag such as "+CPIN:", ignoring the tag's case; false without it.
bool AfterTag(const std::string& line, const char* tag, std::string& rest) {
    const size_t n = std::strlen(tag);
    if (line.size() < n || Upper(line.substr(0, n)) != tag) return false;
    rest = line.substr(n);
    return true;
}

}  // namespace

bool ParseCpin(const std::string& line, std::string& state) {
    std::string rest;
    if (!AfterTag(line, "+CPIN:", rest)) return false;
    state = Upper(Unquoted(rest));
    return !state.empty();
}

bool ParseImsi(const std::string& line, std::string& imsi) {
    std::string rest = line;
    AfterTag(line, "+CIMI:", rest);
    const std::string digits = Unquoted(rest);
    if (digits.size() < 6 || digits.size() > 15 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    imsi = digits;
    return true;
}

bool ParseCrsm(const std::string& line, int& sw1, int& sw2, std::string& data) {
    std::string rest;
    if (!AfterTag(line, "+CRSM:", rest)) return false;
    const char* p = rest.c_str();
    char* end = nullptr;
    const long s1 = std::strtol(p, &end, 10);
    if (end == p || *end != ',' || s1 < 0 || s1 > 255) return false;
    p = end + 1;
    const long s2 = std::strtol(p, &end, 10);
    if (end == p || s2 < 0 || s2 > 255) return false;
    sw1 = static_cast<int>(s1);
    sw2 = static_cast<int>(s2);
    data.clear();
    const std::string after = Trim(end);
    if (!after.empty() && after[0] == ',') data = Unquoted(after.substr(1));
    return true;
}

bool CrsmSucceeded(int sw1) {
    return sw1 == 0x90 || sw1 == 0x91 || sw1 == 0x92 || sw1 == 0x9F;
}

int CmeNumberOfText(const std::string& text) {
    struct Named {
        int number;
        const char* name;
    };
    // The names modems give in verbose error mode, upper case.
    static const Named kNames[] = {
        {0, "PHONE FAILURE"},
        {1, "NO CONNECTION TO PHONE"},
        {3, "OPERATION NOT ALLOWED"},
        {4, "OPERATION NOT SUPPORTED"},
        {5, "PH-SIM PIN REQUIRED"},
        {10, "SIM NOT INSERTED"},
        {11, "SIM PIN REQUIRED"},
        {12, "SIM PUK REQUIRED"},
        {13, "SIM FAILURE"},
        {14, "SIM BUSY"},
        {15, "SIM WRONG"},
        {16, "INCORRECT PASSWORD"},
        {17, "SIM PIN2 REQUIRED"},
        {18, "SIM PUK2 REQUIRED"},
        {20, "MEMORY FULL"},
        {21, "INVALID INDEX"},
        {22, "NOT FOUND"},
        {23, "MEMORY FAILURE"},
        {30, "NO NETWORK SERVICE"},
        {31, "NETWORK TIMEOUT"},
        {100, "UNKNOWN"},
    };
    const std::string name = Upper(Unquoted(text));
    for (const Named& n : kNames)
        if (name == n.name) return n.number;
    return -1;
}
