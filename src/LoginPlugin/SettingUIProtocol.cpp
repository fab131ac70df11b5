#include "SettingUIProtocol.h"

std::string EncodeSettingLine(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) line += '\t';
        for (char ch : fields[i]) {
            switch (ch) {
                case '\\':
                    line += "\\\\";
                    break;
                case '\t':
                    line += "\\t";
                    break;
                case '\n':
                    line += "\\n";
                    break;
                case '\r':
                    line += "\\r";
                    break;
                default:
                    line += ch;
            }
        }
    }
    return line + '\n';
}

std::vector<std::string> DecodeSettingLine(const std::string& line) {
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < line.size(); ++i) {
        const char ch = line[i];
        if (ch == '\t') {
            fields.emplace_back();
        } else if (ch == '\\' && i + 1 < line.size()) {
            const char next = line[++i];
            fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            fields.back() += ch;
        }
    }
    return fields;
}

bool CSettingLineReader::Next(std::string& line) {
    const size_t end = m_pending.find('\n');
    if (end == std::string::npos) return false;
    line = m_pending.substr(0, end);
    m_pending.erase(0, end + 1);
    return true;
}
