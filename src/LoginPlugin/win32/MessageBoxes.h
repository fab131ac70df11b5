// Message boxes of the plug-in's dialogs, shown through the host's message-box library when it is
// there and by the system otherwise, with their texts from the host's string table.
#pragma once

#include <windows.h>

#include <string>

#include "IPluginContainer.h"

// The container the message-box and skin functions ask; kept for the rest of the process.
void SetMessageBoxContainer(IPluginContainer* pContainer);
IPluginContainer* GetMessageBoxContainer();

// The host program's directory with its trailing backslash; empty when unknown.
std::string GetHostDirectory();

// Host string nID, or empty text.
std::string LoadBoxString(int nID);

// As MessageBoxA; the caption is used only when the host's library is missing.
int ShowMessageBox(HWND hOwner, const char* pText, const char* pCaption, UINT nType);
