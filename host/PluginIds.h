// Plug-in IDs and interface numbers used between the host and its plug-ins, and this plug-in's
// identity. IPluginContainer::QueryInterface takes a PLUGIN_ID_* text and the IID_* number of
// that plug-in's interface; IBasePlugin::QueryInterface of the login plug-in takes an IID_* of
// the second group.
#pragma once

#include <cstdint>

// The host's sibling plug-ins that the login plug-in asks its container for.
#define PLUGIN_ID_SETTING "188F177A-8389-4e4f-A99B-C3FFF2CBB620"
#define PLUGIN_ID_CHECK_DEVICE_TYPE "5D31EE0B-DA93-4641-BD21-7DCE3DB15D15"
#define PLUGIN_ID_CHECK_NET_CONNECTION "523F300B-06EA-4658-9BFC-CFDADC93798D"
#define PLUGIN_ID_NET_CONNECT "F6C25BFA-3A9F-4072-919C-2C3984DA8181"
#define PLUGIN_ID_STRING_RES_MGR "CD32A797-91AA-482a-9A66-9C5C27AAAFBD"
#define PLUGIN_ID_CRYPT "29615389-7F1E-457b-BE24-EA04A507306E"
// The login plug-in itself: a host serves its interface 1 under this ID to the other plug-ins.
#define PLUGIN_ID_LOGIN "A5954E3B-5493-46ae-953A-2F1EE2571B7A"

// Interfaces of the sibling plug-ins (with the plug-in ID above).
constexpr int32_t IID_SETTING = 16384;           // ISetting (required)
constexpr int32_t IID_CHECK_DEVICE_TYPE = 1;     // ICheckDeviceType (required for a SIM)
constexpr int32_t IID_CHECK_NET_CONNECTION = 1;  // ICheckNetConnection (optional)
constexpr int32_t IID_NET_CONNECT = 16386;       // INetConnect (optional)
constexpr int32_t IID_STRING_RES_MGR = 16384;    // IStringResMgr (optional)
constexpr int32_t IID_CRYPT = 1;                 // ICryptPlugin (needed for brand and proxy)

// Interfaces of the login plug-in (IBasePlugin::QueryInterface).
constexpr int32_t IID_LOGIN = 1;              // ILogin2, owned by the plug-in; made on first call
constexpr int32_t IID_REG_RESPONSE = 2;       // IRegResponse, new each time, the host releases it
constexpr int32_t IID_LOGIN_RESPONSE = 3;     // ILoginResponse, new each time, host releases it
constexpr int32_t IID_PROXY_INFO = 4;         // IProxyInfo, owned by the plug-in
constexpr int32_t IID_LOGIN_ALIAS = 5;        // the same ILogin2 as number 1
constexpr int32_t IID_SETTING_UI = 20498;     // ISettingUI, owned by the plug-in
constexpr int32_t IID_ABI_INFO = 0x41424900;  // IAbiInfo (LoginAbi.h), owned by the plug-in

// The login plug-in's identity (IBasePlugin::GetPluginType, GetPluginVersion, GetPluginName).
#define LOGIN_PLUGIN_ID PLUGIN_ID_LOGIN
#define LOGIN_PLUGIN_NAME "\xB5\xC7\xC2\xBC"  // "登录" (log in), GBK
constexpr uint32_t LOGIN_PLUGIN_TYPE = 1;
constexpr uint32_t LOGIN_PLUGIN_VERSION = 0x0101;  // 257: 1.1
