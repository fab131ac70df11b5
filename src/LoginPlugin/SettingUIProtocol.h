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

// The longest line either side takes, without its newline.
constexpr size_t kMaxSettingLine = size_t{64} * 1024;

// Splits what has arrived into complete lines, keeping the rest for the next read. Each byte is
// looked at once, however the lines arrive.
class CSettingLineReader {
public:
    enum class Result { kLine, kMore, kTooLong };
    void Feed(const char* pData, size_t count);
    // The next complete line without its newline; kMore when none has arrived whole; kTooLong,
    // from then on, once a line has passed kMaxSettingLine.
    Result Take(std::string& line);
    bool Next(std::string& line) { return Take(line) == Result::kLine; }

private:
    std::string m_pending;
    size_t m_nStart = 0;    // where the next line begins
    size_t m_nScanned = 0;  // up to here no newline
    bool m_bTooLong = false;
};
