// Plug-in IDs and interface numbers used between the host and its plug-ins.
#pragma once

#include <cstdint>

#define PLUGIN_ID_SETTING "188F177A-8389-4e4f-A99B-C3FFF2CBB620"
#define PLUGIN_ID_CHECK_DEVICE_TYPE "5D31EE0B-DA93-4641-BD21-7DCE3DB15D15"
#define PLUGIN_ID_CHECK_NET_CONNECTION "523F300B-06EA-4658-9BFC-CFDADC93798D"
#define PLUGIN_ID_NET_CONNECT "F6C25BFA-3A9F-4072-919C-2C3984DA8181"
#define PLUGIN_ID_STRING_RES_MGR "CD32A797-91AA-482a-9A66-9C5C27AAAFBD"
#define PLUGIN_ID_CRYPT "29615389-7F1E-457b-BE24-EA04A507306E"
#define PLUGIN_ID_LOGIN "A5954E3B-5493-46ae-953A-2F1EE2571B7A"

// Interfaces of the sibling plug-ins.
constexpr int32_t IID_SETTING = 16384;
constexpr int32_t IID_CHECK_DEVICE_TYPE = 1;
constexpr int32_t IID_CHECK_NET_CONNECTION = 1;
constexpr int32_t IID_NET_CONNECT = 16386;
constexpr int32_t IID_STRING_RES_MGR = 16384;
constexpr int32_t IID_CRYPT = 1;

// Interfaces of the login plug-in.
constexpr int32_t IID_LOGIN = 1;
constexpr int32_t IID_REG_RESPONSE = 2;
constexpr int32_t IID_LOGIN_RESPONSE = 3;
constexpr int32_t IID_PROXY_INFO = 4;
constexpr int32_t IID_LOGIN_ALIAS = 5;
constexpr int32_t IID_SETTING_UI = 20498;
