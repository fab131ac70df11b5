// The key store: the stored password in "Key.dtc" in the user's private directory as the host's
// settings name it. Owns the file's layout (one record, one text field) and its repair (a file
// that lost its field gets it declared again before the first record is written).
#pragma once

#include <string>

#include "IPluginContainer.h"

class KeyStore {
public:
    explicit KeyStore(IPluginContainer* pContainer) : m_pContainer(pContainer) {}

    // The file's path; empty (traced) when the host's settings do not name the directory.
    std::string Path() const;
    // Prepares the file at Path() (its field declared) unless it already holds a record.
    void Create() const;
    // What a read found: a password, no password yet (no record, or an empty one), or a file
    // that could not be read (no path, not openable, a record or field that does not read).
    enum class Found { kPassword, kNone, kUnreadable };
    struct Stored {
        Found found = Found::kUnreadable;
        std::string password;  // empty unless found is kPassword
    };
    // Record 0 of the file; every case but kPassword is traced.
    static Stored Load(const std::string& keyFile);
    // The password of record 0; empty for both kNone and kUnreadable, which the sequence treats
    // alike (it registers).
    static std::string Read(const std::string& keyFile) { return Load(keyFile).password; }
    // Makes or rewrites record 0; a file with more than one record is left alone.
    static bool Write(const std::string& keyFile, const std::string& password);

private:
    IPluginContainer* m_pContainer;
};
