// The accounts the server knows: SIM identity to password, optionally kept in a file.
#pragma once

#include <map>
#include <mutex>
#include <random>
#include <string>

class AccountStore {
public:
    enum class Check { kAccepted, kUnknownIdentity, kWrongPassword };

    // With a state file, accounts are read from it (when it exists) and written back on change.
    // Holds at most `maxAccounts` identities.
    explicit AccountStore(std::string strStateFile = {}, size_t maxAccounts = 100000);

    // False, with `error` set, when the state file exists and cannot be read.
    bool Load(std::string& error);

    // Hands out a new password for `cid`, replacing any earlier one; empty when `cid` is new and
    // the store is full.
    std::string Register(const std::string& cid);
    Check Login(const std::string& cid, const std::string& password) const;

    // Random text of `length` characters drawn from `alphabet`.
    std::string RandomText(size_t length, const char* alphabet);

private:
    void Save() const;

    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_passwords;
    std::string m_strStateFile;
    size_t m_maxAccounts;
    std::mt19937_64 m_random;
};
