// The lines the plug-in and its settings dialog program exchange over their socket: one message
// a line, its fields separated by tabs, each field escaped so that any text fits.
//
// Plug-in to dialog, before "show": text NAME TEXT, label INDEX TEXT, entry TYPE TEXT,
// mask NAME CHARS, skin NAME VALUE, select INDEX, fields FLAGS ADDRESS PORT USER PASSWORD, show.
// Afterwards: fields ..., message TEXT CAPTION, raise, end CODE.
// Dialog to plug-in: selected TYPE, ok TYPE|- ADDRESS PORT USER PASSWORD, close, cancel,
// message-closed, failed WHY. Texts are UTF-8.
#pragma once

#include <string>
#include <vector>

// The fields as one line, with its newline.
std::string EncodeSettingLine(const std::vector<std::string>& fields);
// One line, without its newline, back into its fields.
std::vector<std::string> DecodeSettingLine(const std::string& line);

// Splits what has arrived into complete lines, keeping the rest for the next read.
class CSettingLineReader {
public:
    void Feed(const char* pData, size_t count) { m_pending.append(pData, count); }
    // The next complete line without its newline; false when none has arrived whole.
    bool Next(std::string& line);

private:
    std::string m_pending;
};
