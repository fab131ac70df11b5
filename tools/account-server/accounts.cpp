#include "accounts.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

AccountStore::AccountStore(std::string strStateFile, size_t maxAccounts)
    : m_strStateFile(std::move(strStateFile)),
      m_maxAccounts(maxAccounts),
      m_random(std::random_device{}()) {}

// One account a line: identity, a tab, password.
bool AccountStore::Load(std::string& error) {
    if (m_strStateFile.empty()) return true;
    std::ifstream in(m_strStateFile);
    if (!in) return true;  // a first start
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty()) continue;
        size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            error = m_strStateFile + ":" + std::to_string(number) + ": no tab in the line";
            return false;
        }
        m_passwords[line.substr(0, tab)] = line.substr(tab + 1);
        if (m_passwords.size() > m_maxAccounts) {
            error = m_strStateFile + ": more than " + std::to_string(m_maxAccounts) + " accounts";
            return false;
        }
    }
    return true;
}

std::string AccountStore::RandomText(size_t length, const char* alphabet) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::uniform_int_distribution<size_t> pick(0, std::strlen(alphabet) - 1);
    std::string text;
    for (size_t i = 0; i < length; ++i) text += alphabet[pick(m_random)];
    return text;
}

std::string AccountStore::Register(const std::string& cid) {
    std::string password =
        RandomText(12, "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789");
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_passwords.size() >= m_maxAccounts && m_passwords.count(cid) == 0) return {};
    m_passwords[cid] = password;
    Save();
    return password;
}

AccountStore::Check AccountStore::Login(const std::string& cid, const std::string& password) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_passwords.find(cid);
    if (it == m_passwords.end()) return Check::kUnknownIdentity;
    return it->second == password ? Check::kAccepted : Check::kWrongPassword;
}

// Written whole to a side file and renamed over the old one, so a crash leaves one or the other.
void AccountStore::Save() const {
    if (m_strStateFile.empty()) return;
    std::string temporary = m_strStateFile + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        for (const auto& account : m_passwords) {
            out << account.first << '\t' << account.second << '\n';
        }
        out.flush();
        if (!out) {
            std::cerr << "account-server: cannot write " << temporary << '\n';
            return;
        }
    }
    if (std::rename(temporary.c_str(), m_strStateFile.c_str()) != 0) {
        std::cerr << "account-server: cannot replace " << m_strStateFile << '\n';
    }
}
