// The plug-in's interfaces asked for by number, as a host asks for them: the result objects a
// successful login leaves, any number with what it gives reported, and the settings dialog.
#pragma once

#include <cstdint>
#include <string>

#include "HostReport.h"
#include "IBasePlugin.h"
#include "ILogin.h"

// The results of interfaces 3 and 2, read and released; false when the plug-in gives none.
bool QueryLoginResponse(IBasePlugin& plugin, std::string& encodeKey, std::string& sessionId);
bool QueryRegResponse(IBasePlugin& plugin, std::string& password);

// Asks for interface `number` and reports what it gives; `login` is the login object the host
// holds, to tell it apart from another.
void ReportQuery(IBasePlugin& plugin, int32_t number, const ILogin2* login, HostReport& report);

// Opens the settings dialog (interface 20498) and reports its end code; -1 when refused.
int32_t ShowSettingDialog(IBasePlugin* plugin, HostReport& report);
