// The host's plug-in list plugins.xml (a root <main> holding <plugin> records with <channel>,
// <alias> and <clsid>, in this order) and the ServiceScreenCode setting that screens entries out.
#pragma once

#include <string>
#include <vector>

#include "LoginTypes.h"

class CMarkupSTL;

// Reads the records of a loaded document in file order. False when the document has no <main>
// root or a <plugin> lacks one of its three children in order; the records read before that
// stay in the output.
bool ParsePluginList(CMarkupSTL& xml, std::vector<PluginRecord>& records);
bool ParsePluginListText(const std::string& text, std::vector<PluginRecord>& records);

// The aliases of a ServiceScreenCode value: split at every comma, each piece trimmed of white
// space, empty pieces kept. An empty value screens nothing.
std::vector<std::string> SplitScreenCodes(const std::string& value);
