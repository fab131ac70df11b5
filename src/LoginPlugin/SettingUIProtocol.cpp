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

void CSettingLineReader::Feed(const char* pData, size_t count) {
    if (m_bTooLong) return;
    // What was taken goes once it is the larger part, so that moving it costs no more than
    // reading it did.
    if (m_nStart > 0 && m_nStart >= m_pending.size() - m_nStart) {
        m_pending.erase(0, m_nStart);
        m_nScanned -= m_nStart;
        m_nStart = 0;
    }
    m_pending.append(pData, count);
}

CSettingLineReader::Result CSettingLineReader::Take(std::string& line) {
    if (m_bTooLong) return Result::kTooLong;
    const size_t end = m_pending.find('\n', m_nScanned);
    const size_t length = (end == std::string::npos ? m_pending.size() : end) - m_nStart;
    if (length > kMaxSettingLine) {
        m_bTooLong = true;
        m_pending.clear();
        return Result::kTooLong;
    }
    if (end == std::string::npos) {
        m_nScanned = m_pending.size();
        return Result::kMore;
    }
    line.assign(m_pending, m_nStart, end - m_nStart);
    m_nStart = m_nScanned = end + 1;
    return Result::kLine;
}
