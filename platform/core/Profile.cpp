#include "platform/core/Profile.h"

#include "platform/core/FileSystem.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>


namespace {

struct ParsedLine {
    enum Kind { Other, Section, Key } kind = Other;
    std::string name;  // section name or key name, trimmed
    std::string value; // value of a key line, trimmed
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

ParsedLine Parse(std::string_view raw)
{
    ParsedLine out;
    std::string_view s = Trim(raw);
    if (s.empty() || s.front() == ';')
        return out;
    if (s.front() == '[') {
        s.remove_prefix(1);
        std::size_t close = s.find(']');
        if (close != std::string_view::npos)
            s = s.substr(0, close);
        out.kind = ParsedLine::Section;
        out.name = std::string(Trim(s));
        return out;
    }
    std::size_t eq = s.find('=');
    out.kind = ParsedLine::Key;
    if (eq == std::string_view::npos) {
        out.name = std::string(s);
        return out;
    }
    out.name = std::string(Trim(s.substr(0, eq)));
    out.value = std::string(Trim(s.substr(eq + 1)));
    return out;
}

// The file's lines without their line ends; nullopt when the file is missing or cannot be
// read (then `result` tells which).
std::optional<std::vector<std::string>> ReadLines(const char* fileName, FileReadResult* result = nullptr)
{
    FileReadResult r = FileReadResult::Missing;
    std::string data;
    if (fileName != nullptr && *fileName != '\0')
        r = ReadSmallFile(fileName, kMaxSettingsFileBytes, data);
    if (result != nullptr)
        *result = r;
    if (r != FileReadResult::Ok)
        return std::nullopt;
    // No settings file is large enough to run out of memory; one that does counts as unreadable.
    try {
        if (data.size() >= 3 && static_cast<unsigned char>(data[0]) == 0xEF &&
            static_cast<unsigned char>(data[1]) == 0xBB && static_cast<unsigned char>(data[2]) == 0xBF)
            data.erase(0, 3);
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < data.size()) {
            std::size_t nl = data.find('\n', start);
            std::size_t end = nl == std::string::npos ? data.size() : nl;
            std::size_t textEnd = end;
            if (textEnd > start && data[textEnd - 1] == '\r')
                --textEnd;
            lines.emplace_back(data, start, textEnd - start);
            if (nl == std::string::npos)
                break;
            start = nl + 1;
        }
        return lines;
    } catch (const std::bad_alloc&) {
        if (result != nullptr)
            *result = FileReadResult::Unreadable;
        return std::nullopt;
    }
}

bool WriteAll(std::FILE* f, const std::string& text)
{
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fflush(f) != 0)
        ok = false;
    return ok;
}

// Written through ReplaceFileContent, so a failed write leaves the old file whole.
bool WriteLines(const char* fileName, const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return ReplaceFileContent(fileName, [&text](std::FILE* f) { return WriteAll(f, text); });
}

// Index of the first section line named section, or -1.
long FindSection(const std::vector<std::string>& lines, std::string_view section)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ParsedLine p = Parse(lines[i]);
        if (p.kind == ParsedLine::Section && SameText(p.name, section))
            return static_cast<long>(i);
    }
    return -1;
}

// One past the last line of the section starting at line sectionLine.
std::size_t SectionEnd(const std::vector<std::string>& lines, std::size_t sectionLine)
{
    std::size_t i = sectionLine + 1;
    while (i < lines.size() && Parse(lines[i]).kind != ParsedLine::Section)
        ++i;
    return i;
}

long FindKey(const std::vector<std::string>& lines, std::size_t sectionLine, std::string_view key)
{
    std::size_t end = SectionEnd(lines, sectionLine);
    for (std::size_t i = sectionLine + 1; i < end; ++i) {
        ParsedLine p = Parse(lines[i]);
        if (p.kind == ParsedLine::Key && SameText(p.name, key))
            return static_cast<long>(i);
    }
    return -1;
}

// A value enclosed in one pair of matching quotes loses them.
std::string Unquote(std::string v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

DWORD CopyOut(const std::string& text, LPSTR buf, DWORD size)
{
    if (buf == nullptr || size == 0)
        return 0;
    std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
    return static_cast<DWORD>(n);
}

// A list of names, each ending in a zero, with a final zero. When cut, the last name that
// fits partly is cut and the list still ends in two zeros; the result is then size-2.
DWORD CopyList(const std::vector<std::string>& names, LPSTR buf, DWORD size)
{
    if (buf == nullptr || size == 0)
        return 0;
    if (size == 1) {
        buf[0] = '\0';
        return 0;
    }
    if (names.empty()) {
        buf[0] = '\0';
        buf[1] = '\0';
        return 0;
    }
    std::size_t pos = 0;
    for (const std::string& name : names) {
        if (pos + name.size() + 1 > size - 1) {
            // The names before may already fill the buffer up to its final zero.
            std::size_t room = pos < size - 2 ? size - 2 - pos : 0;
            std::memcpy(buf + pos, name.data(), std::min(room, name.size()));
            buf[size - 2] = '\0';
            buf[size - 1] = '\0';
            return size - 2;
        }
        std::memcpy(buf + pos, name.data(), name.size());
        pos += name.size();
        buf[pos++] = '\0';
    }
    buf[pos] = '\0';
    return static_cast<DWORD>(pos);
}

} // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buf, DWORD size,
                               LPCSTR fileName)
{
    std::optional<std::vector<std::string>> lines = ReadLines(fileName);
    if (section == nullptr) {
        std::vector<std::string> names;
        if (lines)
            for (const std::string& l : *lines) {
                ParsedLine p = Parse(l);
                if (p.kind == ParsedLine::Section)
                    names.push_back(p.name);
            }
        return CopyList(names, buf, size);
    }
    if (key == nullptr) {
        std::vector<std::string> names;
        if (lines) {
            long s = FindSection(*lines, section);
            if (s >= 0) {
                std::size_t end = SectionEnd(*lines, static_cast<std::size_t>(s));
                for (std::size_t i = static_cast<std::size_t>(s) + 1; i < end; ++i) {
                    ParsedLine p = Parse((*lines)[i]);
                    if (p.kind == ParsedLine::Key)
                        names.push_back(p.name);
                }
            }
        }
        return CopyList(names, buf, size);
    }
    if (lines) {
        long s = FindSection(*lines, section);
        if (s >= 0) {
            long k = FindKey(*lines, static_cast<std::size_t>(s), key);
            if (k >= 0)
                return CopyOut(Unquote(Parse((*lines)[static_cast<std::size_t>(k)]).value), buf, size);
        }
    }
    // Windows drops trailing blanks of the default.
    return CopyOut(std::string(Trim(def != nullptr ? def : "")), buf, size);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT def, LPCSTR fileName)
{
    if (section == nullptr || key == nullptr)
        return static_cast<UINT>(def);
    char text[256];
    DWORD len = GetPrivateProfileStringA(section, key, "", text, sizeof text, fileName);
    if (len == 0)
        return static_cast<UINT>(def);
    const char* p = text;
    while (IsBlank(*p))
        ++p;
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    unsigned base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    } else if (p[0] == '0' && (p[1] == 'o' || p[1] == 'O')) {
        base = 8;
        p += 2;
    } else if (p[0] == '0' && (p[1] == 'b' || p[1] == 'B')) {
        base = 2;
        p += 2;
    }
    std::uint32_t value = 0; // wraps like the 32-bit accumulator it stands for
    for (;; ++p) {
        unsigned digit;
        unsigned char c = static_cast<unsigned char>(*p);
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        if (digit >= base)
            break;
        value = value * base + digit;
    }
    return negative ? static_cast<UINT>(0u - value) : static_cast<UINT>(value);
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName)
{
    if (section == nullptr || fileName == nullptr || *fileName == '\0')
        return FALSE;
    std::vector<std::string> lines;
    FileReadResult found = FileReadResult::Missing;
    if (std::optional<std::vector<std::string>> read = ReadLines(fileName, &found))
        lines = std::move(*read);
    else if (found != FileReadResult::Missing)
        return FALSE; // there but unreadable: a rewrite would drop everything it holds

    long s = FindSection(lines, section);
    if (key == nullptr) {
        if (s < 0)
            return TRUE;
        std::size_t end = SectionEnd(lines, static_cast<std::size_t>(s));
        lines.erase(lines.begin() + s, lines.begin() + static_cast<long>(end));
        return WriteLines(fileName, lines) ? TRUE : FALSE;
    }
    if (value == nullptr) {
        if (s < 0)
            return TRUE;
        long k = FindKey(lines, static_cast<std::size_t>(s), key);
        if (k < 0)
            return TRUE;
        lines.erase(lines.begin() + k);
        return WriteLines(fileName, lines) ? TRUE : FALSE;
    }
    // A value is one line: a line end inside it would make keys of its own.
    std::string v(value);
    for (char& c : v)
        if (c == '\r' || c == '\n')
            c = ' ';
    if (s < 0) {
        lines.push_back("[" + std::string(section) + "]");
        lines.push_back(std::string(key) + "=" + v);
    } else {
        long k = FindKey(lines, static_cast<std::size_t>(s), key);
        if (k >= 0) {
            // Keep the key's spelling as it stands in the file.
            std::string name = Parse(lines[static_cast<std::size_t>(k)]).name;
            lines[static_cast<std::size_t>(k)] = name + "=" + v;
        } else {
            std::size_t end = SectionEnd(lines, static_cast<std::size_t>(s));
            std::size_t at = end;
            while (at > static_cast<std::size_t>(s) + 1 && Trim(lines[at - 1]).empty())
                --at;
            lines.insert(lines.begin() + static_cast<long>(at), std::string(key) + "=" + v);
        }
    }
    return WriteLines(fileName, lines) ? TRUE : FALSE;
}

DWORD GetPrivateProfileSectionNamesA(LPSTR buf, DWORD size, LPCSTR fileName)
{
    return GetPrivateProfileStringA(nullptr, nullptr, nullptr, buf, size, fileName);
}
