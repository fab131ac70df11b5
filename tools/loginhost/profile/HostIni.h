// One INI file of a profile, read and written back.
//
// Lines are "[section]", "key=value", blank, or whole-line comments starting with ';' or '#'.
// Keys and values are trimmed of surrounding white space; a value written in double quotes keeps
// its inner spaces ("  a  "). Section and key names match without regard to ASCII case, as the
// Windows profile functions do. Comments, blank lines and the order of lines survive a write.
#pragma once

#include <string>
#include <vector>

class IniFile {
public:
    struct Entry {
        std::string section;  // empty for keys before the first section
        std::string key;
        std::string value;
        int line;
    };
    struct Section {
        std::string name;
        int line;
    };

    // Replaces the contents with the parsed text. On a line that is none of the above, or a
    // section or key given twice, false with error set to "NAME:LINE: what is wrong".
    bool Parse(const std::string& name, const std::string& text, std::string& error);

    bool Get(const std::string& section, const std::string& key, std::string& value) const;
    // Changes the value in place, or adds the key at the end of its section (made when missing).
    // False for a value that cannot be written on one line.
    bool Set(const std::string& section, const std::string& key, const std::string& value);

    std::vector<Entry> Entries() const;
    std::vector<Section> Sections() const;
    // The file's text as it would be written.
    std::string Render() const;

private:
    enum class Kind { kOther, kSection, kEntry };
    struct Line {
        Kind kind;
        std::string text;     // as read, or as rendered after a change
        std::string section;  // the section the line belongs to
        std::string key;
        std::string value;
        int number;  // line number in the file as read; 0 for added lines
    };
    int FindEntry(const std::string& section, const std::string& key) const;
    int FindSection(const std::string& section) const;

    std::vector<Line> m_lines;
};

// The equality of two names under the file's rule (ASCII case ignored).
bool IniNameEquals(const std::string& a, const std::string& b);
