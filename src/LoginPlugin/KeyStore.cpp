#include "KeyStore.h"

#include <memory>
#include <mutex>
#include <set>
#include <utility>

#include "EasyUseInterface.h"
#include "LoginSettings.h"
#include "libs/filemanager/FileManager.h"
#include "global/VelkoException.h"
#include "libs/trace/Trace.h"

namespace {

// The records keep the login object's site: users read them as its own.
constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\LoginImpl"};

const char* const kKeyField = "key";
constexpr unsigned kKeyFieldSize = 200;

// Records handed out by the file must be released, however the operation ends.
struct RecordRelease {
    void operator()(IRecord* pRecord) const { pRecord->Release(); }
};
using RecordPtr = std::unique_ptr<IRecord, RecordRelease>;

// A hint for the host's setup, traced once per text for the process: the worker asks for the
// key file at every attempt, and the host needs the path once, not a line a minute.
void TraceHintOnce(TraceLevel level, const std::string& message) {
    static std::mutex guard;
    static std::set<std::string> traced;
    {
        std::lock_guard<std::mutex> lock(guard);
        if (!traced.insert(message).second) return;
    }
    TRACE_AT(kTrace, level, message);
}

void TraceUnopenable(const std::string& path) {
    TraceHintOnce(TRACE_ERRO, "key file cannot be opened, does its folder exist? " + path);
}

// Opens the key file for a read or a write, or traces why not and throws.
void OpenOrThrow(CFileManager& fm, const std::string& keyFile) {
    if (fm.Open(keyFile) == 0) return;
    TRACE_AT(kTrace, TRACE_ERRO, " FileManager.Open() failed!");
    TraceUnopenable(keyFile);
    throw CVelkoException();
}

}  // namespace

std::string KeyStore::Path() const {
    try {
        if (!m_pContainer) throw CVelkoException();
        const HostRef<ISetting> setting = CEasyUseInterface(m_pContainer).Setting();
        if (!setting) throw CVelkoException();
        std::string dir;
        if (!setting->GetSysSetting(SETTING_KEY_DIR.section, SETTING_KEY_DIR.key, dir)) {
            TRACE_AT(kTrace, TRACE_ERRO,
                     std::string("setting ") + SETTING_KEY_DIR.section + "/" + SETTING_KEY_DIR.key +
                         " is missing");
            throw CVelkoException();
        }
        if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') {
            TraceHintOnce(TRACE_WARN, std::string(SETTING_KEY_DIR.section) + "/" +
                                          SETTING_KEY_DIR.key +
                                          " does not end with a separator: " + dir);
        }
        // The setting ends with its separator; nothing is put in between.
        return dir + LOGIN_KEY_FILE;
    } catch (const CVelkoException&) {
        TRACE_AT(kTrace, TRACE_CRIT, "GetKeyFile() throw CVelkoException exception!");
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "GetKeyFile() exception!");
    }
    return {};
}

void KeyStore::Create() const {
    try {
        CFileManager fm;  // closes the file on every way out
        const std::string path = Path();
        if (fm.Open(path) != 0) {
            TRACE_AT(kTrace, TRACE_ERRO, "fm.Open() failed!");
            if (!path.empty()) TraceUnopenable(path);
            return;
        }
        // A file with a record is the normal case on every start after the first registration.
        if (fm.GetRecordCount() != 0) {
            TRACE_AT(kTrace, TRACE_INFO, "CreateKeyFile() fm.GetRecordCount() failed!");
            return;
        }
        if (fm.SetFieldInfo(kKeyField, kKeyFieldSize) != 0) {
            TRACE_AT(kTrace, TRACE_ERRO, "fm.SetFieldInfo() failed!");
            return;
        }
        fm.Close();
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "CreateKeyFile() exception!");
    }
}

KeyStore::Stored KeyStore::Load(const std::string& keyFile) {
    Stored stored;
    if (keyFile.empty()) return stored;
    try {
        // Declared in this order so that the record is released before the file is closed.
        CFileManager fm;
        RecordPtr record;
        OpenOrThrow(fm, keyFile);
        if (fm.GetRecordCount() == 0) {
            TRACE_AT(kTrace, TRACE_INFO, " FileManager.GetRecordCount() return zero");
            stored.found = Found::kNone;
            throw CVelkoException();
        }
        record.reset(fm.ReadRecord(0));
        if (!record) {
            TRACE_AT(kTrace, TRACE_ERRO, " FileManager.ReadRecord() return NULL!");
            throw CVelkoException();
        }
        std::string key;
        if (record->GetFieldValue(0, key) != 0) {
            TRACE_AT(kTrace, TRACE_ERRO, " FileManager.GetFieldValue() failed!");
            throw CVelkoException();
        }
        if (key.empty()) TRACE_AT(kTrace, TRACE_INFO, " strKey equal !");
        fm.Close();
        stored = {key.empty() ? Found::kNone : Found::kPassword, std::move(key)};
    } catch (const CVelkoException&) {
        TRACE_AT(kTrace, TRACE_CRIT, "ReadPwd() throw CVelkoException exception!");
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "ReadPwd() exception!");
    }
    return stored;
}

bool KeyStore::Write(const std::string& keyFile, const std::string& password) {
    if (keyFile.empty() || password.empty()) return false;
    try {
        CFileManager fm;
        RecordPtr record;
        OpenOrThrow(fm, keyFile);
        const unsigned count = fm.GetRecordCount();
        if (count > 1) {
            // One password per user: a file with more records is not ours to rewrite.
            TRACE_AT(kTrace, TRACE_ERRO, "1 != iRecordCount!");
            throw CVelkoException();
        }
        // The first password makes record 0; a later one rewrites it.
        const bool bNew = count == 0;
        // A file deleted or damaged since the start has lost its field: declare it again
        // (declaring it on a prepared file changes nothing), else no record could be made.
        if (bNew) fm.SetFieldInfo(kKeyField, kKeyFieldSize);
        record.reset(bNew ? fm.CreateNewRecord() : fm.ReadRecord(0));
        if (!record) {
            TRACE_AT(kTrace, TRACE_ERRO,
                     bNew ? " FileManager.CreateNewRecord() failed!"
                          : " FileManager.ReadRecord() failed!");
            throw CVelkoException();
        }
        if (record->SetFieldValue(0, password) != 0) {
            TRACE_AT(kTrace, TRACE_ERRO, " FileManager.SetFieldValue() failed!");
            throw CVelkoException();
        }
        if ((bNew ? fm.AddRecord(record.get()) : fm.UpdateRecord(record.get())) != 0) {
            TRACE_AT(
                kTrace, TRACE_ERRO,
                bNew ? " FileManager.AddRecord() failed!" : " FileManager.UpdateRecord() failed!");
            throw CVelkoException();
        }
        record.reset();
        fm.Close();
        return true;
    } catch (const CVelkoException&) {
        TRACE_AT(kTrace, TRACE_CRIT, "WritePwd() throw CVelkoException exception!");
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "WritePwd() exception!");
    }
    return false;
}
