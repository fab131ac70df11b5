#include "HostIni.h"

namespace {

const char* const kSpace = " \t";

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(kSpace);
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(kSpace) - first + 1);
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

// The value as it must be written so that Parse gives it back.
std::string Quote(const std::string& value) {
    const bool padded = !value.empty() && (Trim(value).size() != value.size());
    const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    return (padded || quoted) ? "\"" + value + "\"" : value;
}

std::string Fail(const std::string& name, int line, const std::string& what) {
    return name + ":" + std::to_string(line) + ": " + what;
}

}  // namespace

bool IniNameEquals(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool IniFile::Parse(const std::string& name, const std::string& text, std::string& error) {
    std::vector<Line> lines;
    std::string section;
    size_t pos = 0;
    // A byte-order mark is what some editors put before UTF-8 text.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
    for (int number = 1; pos < text.size(); ++number) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string raw = text.substr(pos, end - pos);
        pos = end + 1;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();

        Line line{Kind::kOther, raw, section, {}, {}, number};
        const std::string t = Trim(raw);
        if (t.empty() || t[0] == ';' || t[0] == '#') {
            lines.push_back(std::move(line));
            continue;
        }
        if (t[0] == '[') {
            if (t.back() != ']') {
                error = Fail(name, number, "section header without ']': " + t);
                return false;
            }
            const std::string s = Trim(t.substr(1, t.size() - 2));
            if (s.empty()) {
                error = Fail(name, number, "empty section name");
                return false;
            }
            for (const Line& l : lines) {
                if (l.kind == Kind::kSection && IniNameEquals(l.section, s)) {
                    error = Fail(name, number,
                                 "section [" + s + "] given twice (first on line " +
                                     std::to_string(l.number) + ")");
                    return false;
                }
            }
            section = s;
            line.kind = Kind::kSection;
            line.section = s;
            lines.push_back(std::move(line));
            continue;
        }
        const size_t eq = t.find('=');
        if (eq == std::string::npos) {
            error = Fail(name, number, "expected key=value or [section]: " + t);
            return false;
        }
        line.kind = Kind::kEntry;
        line.key = Trim(t.substr(0, eq));
        line.value = Unquote(Trim(t.substr(eq + 1)));
        if (line.key.empty()) {
            error = Fail(name, number, "empty key: " + t);
            return false;
        }
        for (const Line& l : lines) {
            if (l.kind == Kind::kEntry && IniNameEquals(l.section, section) &&
                IniNameEquals(l.key, line.key)) {
                error = Fail(name, number,
                             "key '" + line.key + "' given twice (first on line " +
                                 std::to_string(l.number) + ")");
                return false;
            }
        }
        lines.push_back(std::move(line));
    }
    m_lines.swap(lines);
    return true;
}

int IniFile::FindEntry(const std::string& section, const std::string& key) const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const Line& l = m_lines[i];
        if (l.kind == Kind::kEntry && IniNameEquals(l.section, section) &&
            IniNameEquals(l.key, key))
            return static_cast<int>(i);
    }
    return -1;
}

int IniFile::FindSection(const std::string& section) const {
    for (size_t i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].kind == Kind::kSection && IniNameEquals(m_lines[i].section, section))
            return static_cast<int>(i);
    return -1;
}

bool IniFile::Get(const std::string& section, const std::string& key, std::string& value) const {
    const int i = FindEntry(section, key);
    if (i < 0) return false;
    value = m_lines[static_cast<size_t>(i)].value;
    return true;
}

bool IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    if (value.find_first_of("\r\n") != std::string::npos || key.empty() || Trim(key) != key ||
        key.find('=') != std::string::npos)
        return false;
    const std::string text = key + "=" + Quote(value);
    const int existing = FindEntry(section, key);
    if (existing >= 0) {
        Line& l = m_lines[static_cast<size_t>(existing)];
        l.value = value;
        l.text = text;
        return true;
    }
    Line added{Kind::kEntry, text, section, key, value, 0};
    const int header = FindSection(section);
    if (header < 0 && !section.empty()) {
        if (!m_lines.empty() && !Trim(m_lines.back().text).empty())
            m_lines.push_back(Line{Kind::kOther, "", section, {}, {}, 0});
        m_lines.push_back(Line{Kind::kSection, "[" + section + "]", section, {}, {}, 0});
        m_lines.push_back(std::move(added));
        return true;
    }
    // After the section's last key or header, before the blank lines and comments that
    // separate it from the next section.
    size_t at = header < 0 ? 0 : static_cast<size_t>(header) + 1;
    for (size_t i = at; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::kSection) break;
        if (m_lines[i].kind == Kind::kEntry) at = i + 1;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(added));
    return true;
}

std::vector<IniFile::Entry> IniFile::Entries() const {
    std::vector<Entry> out;
    for (const Line& l : m_lines)
        if (l.kind == Kind::kEntry) out.push_back({l.section, l.key, l.value, l.number});
    return out;
}

std::vector<IniFile::Section> IniFile::Sections() const {
    std::vector<Section> out;
    for (const Line& l : m_lines)
        if (l.kind == Kind::kSection) out.push_back({l.section, l.number});
    return out;
}

std::string IniFile::Render() const {
    std::string out;
    for (const Line& l : m_lines) out += l.text + "\n";
    return out;
}
