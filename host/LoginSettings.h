// The names the plug-in reads and writes outside its own memory: the host's settings (ISetting),
// string-table numbers (IStringResMgr), files and registry values. The host guide
// (docs/host-guide.md) gives each one's meaning, default and example.
//
// Settings are read from the host's thread while the login object is made (inside
// QueryInterface(IID_LOGIN)), from the worker thread during each login, and from the thread of a
// device event: the settings service must be safe to call from any thread.
#pragma once

#include <cstdint>

// A setting of the host: ISetting::GetSysSetting / GetUserSetting (section, key).
struct LoginSettingName {
    const char* section;
    const char* key;
};

// System settings.
inline constexpr LoginSettingName SETTING_LOGIN_URL{"LOGIN", "URL"};        // required
inline constexpr LoginSettingName SETTING_REGISTER_URL{"REGISTER", "URL"};  // required
// Directory of the key file, ending with its separator: the plug-in appends LOGIN_KEY_FILE as it
// stands. Required.
inline constexpr LoginSettingName SETTING_KEY_DIR{"CURRENT_USER_PRIVATE_DIR", "PATH"};
// The brand table's key, as ICryptPlugin::Encrypt gives it; the plug-in Decrypts it.
inline constexpr LoginSettingName SETTING_CRYPT_KEY{"CRYPT", "CRYPT"};
inline constexpr LoginSettingName SETTING_SIM_TYPE{"SIMTYPE", "ACTIVE"};  // read and written
inline constexpr LoginSettingName SETTING_SKIN{"SKIN", "ACTIVE"};         // written (read: Windows)
inline constexpr LoginSettingName SETTING_VERSION_MAJOR{"VERSION", "MAJOR"};      // Windows titles
inline constexpr LoginSettingName SETTING_SECURITY_STRICT{"SECURITY", "STRICT"};  // "1": strict
inline constexpr LoginSettingName SETTING_SECURITY_CAFILE{"SECURITY", "CAFILE"};  // PEM (Linux)

// User settings: the proxy (read by IProxyInfo and the login requests, written by the dialog).
inline constexpr LoginSettingName SETTING_PROXY_TYPE{"PROXY", "TYPE"};  // PROXY_TYPE_*, decimal
inline constexpr LoginSettingName SETTING_PROXY_ADDRESS{"PROXY", "ADDRESS"};
inline constexpr LoginSettingName SETTING_PROXY_PORT{"PROXY", "PORT"};
inline constexpr LoginSettingName SETTING_PROXY_USER{"PROXY", "USER"};
// As ICryptPlugin::Encrypt gives it.
inline constexpr LoginSettingName SETTING_PROXY_PASSWORD{"PROXY", "PASSWORD"};

// Named setting (ISetting::GetNamedSetting): plug-in aliases screened out, comma-separated.
inline constexpr char SETTING_SERVICE_SCREEN_CODE[] = "ServiceScreenCode";

// String-table numbers (IStringResMgr::GetString).
constexpr int32_t STRING_DEFAULT_BRAND_NAME = 11004;  // the SIM type when the card gives no SPN
// The settings dialog's texts (Windows).
constexpr int32_t STRING_DIALOG_NO_TYPE_CAPTION = 2000;
constexpr int32_t STRING_DIALOG_OK = 2001;
constexpr int32_t STRING_DIALOG_CANCEL = 2002;
constexpr int32_t STRING_DIALOG_GROUP = 2022;
constexpr int32_t STRING_DIALOG_LABEL_FIRST = 2023;  // to 2027: type, address, port, user, password
constexpr int32_t STRING_DIALOG_CLOSE_TIP = 5999;
constexpr int32_t STRING_DIALOG_NO_TYPE = 7001;
constexpr int32_t STRING_DIALOG_TITLE = 11003;
constexpr int32_t STRING_PROXY_TYPE_NONE = 11000;  // the type list: none, user's, browser's
constexpr int32_t STRING_PROXY_TYPE_USER = 11001;
constexpr int32_t STRING_PROXY_TYPE_BROWSER = 11002;
constexpr int32_t STRING_MESSAGE_BOX_TITLE = 2019;  // followed by SETTING_VERSION_MAJOR

// Files. The key file in SETTING_KEY_DIR; the brand table and the plug-in list beside the host
// program; the trace in the directory the environment variable LOGIN_TRACE_DIR_ENV names, else
// in the current directory (at most 1 MiB, plus one older file with ".1" appended).
inline constexpr char LOGIN_KEY_FILE[] = "Key.dtc";
inline constexpr char LOGIN_BRAND_TABLE_FILE[] = "SIMBrandInfo.xml";
inline constexpr char LOGIN_PLUGIN_LIST_FILE[] = "plugins.xml";
inline constexpr char LOGIN_TRACE_FILE[] = "./norvamts_trace_0.log";
inline constexpr char LOGIN_TRACE_DIR_ENV[] = "LOGINPLUGIN_TRACE_DIR";

// Registry of the current user (on Linux: the plug-in's file store, a directory per key under
// $LOGIN_REGISTRY_ENV, else $XDG_CONFIG_HOME/loginplugin/registry, else
// ~/.config/loginplugin/registry). The host's installer creates LOGIN_REGISTRY_PRODUCT_KEY; the
// plug-in never does, and keeps no default identity without it.
inline constexpr char LOGIN_REGISTRY_PRODUCT_KEY[] = "Software\\Mirolan\\Velko";
inline constexpr char LOGIN_REGISTRY_IDENTITY_KEY[] = "Software\\Mirolan\\Velko\\Settings";
inline constexpr char LOGIN_REGISTRY_IDENTITY_VALUE[] = "DefaultIMSI";
// The default identity, which the plug-in signs in with when the card gives no IMSI:
// LOGIN_DEFAULT_IDENTITY_PREFIX followed by the LOGIN_DEFAULT_IDENTITY_STORED_LENGTH characters
// stored in LOGIN_REGISTRY_IDENTITY_VALUE (REG_SZ: one byte more with the terminating zero). A
// value of any other size is replaced with a new identity.
inline constexpr char LOGIN_DEFAULT_IDENTITY_PREFIX[] = "9";
constexpr uint32_t LOGIN_DEFAULT_IDENTITY_STORED_LENGTH = 14;
inline constexpr char LOGIN_REGISTRY_BROWSER_KEY[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
inline constexpr char LOGIN_REGISTRY_BROWSER_PROXY_VALUE[] = "ProxyServer";
inline constexpr char LOGIN_REGISTRY_ENV[] = "LOGINPLUGIN_REGISTRY";
