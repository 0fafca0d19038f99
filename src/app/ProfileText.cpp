#include "app/ProfileText.h"

#include <windows.h>

#include <algorithm>

#include "platform/Win932.h"

namespace {

constexpr size_t npos = std::string::npos;

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The profile functions' blanks: the ASCII white space and ^Z (DOS end of
// file), not the full-width space.
bool IsBlank(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A; }

// A lead byte takes the next byte with it, whatever it is, except a zero.
size_t Width(std::string_view text, size_t at) {
    return IsLead(static_cast<unsigned char>(text[at])) && at + 1 < text.size() && text[at + 1] != '\0' ? 2 : 1;
}

// True when the text's last character, by the lead-byte rule, ends a line: a
// lead byte before a final CR takes it with it.
bool EndsLine(std::string_view text) {
    if (text.empty()) return true;
    size_t last = 0;
    for (size_t i = 0; i < text.size(); i += Width(text, i)) last = i;
    return last == text.size() - 1 && (text[last] == '\n' || text[last] == '\r');
}

// Up to the first zero byte that is a character of its own.
std::string_view UpToZero(std::string_view text) {
    for (size_t i = 0; i < text.size(); i += Width(text, i))
        if (text[i] == '\0') return text.substr(0, i);
    return text;
}

std::string_view TrimLeft(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(static_cast<unsigned char>(text[i]))) ++i;
    return text.substr(i);
}

std::string_view Trim(std::string_view text) {
    text = TrimLeft(text);
    size_t end = 0;
    for (size_t i = 0; i < text.size(); i += Width(text, i))
        if (!IsBlank(static_cast<unsigned char>(text[i]))) end = i + Width(text, i);
    return text.substr(0, end);
}

// Names are compared as the system compares them: as UTF-16 text, with the
// ASCII letters alone folded.
std::wstring Folded(std::string_view name) {
    std::wstring wide = win932::Wide(name);
    for (wchar_t& c : wide)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return wide;
}

// A caller's name as the system takes it from an ANSI caller: up to its
// first zero byte, without a lead byte that has nothing left to pair with.
std::string_view CallerName(std::string_view name) {
    name = name.substr(0, name.find('\0'));
    size_t i = 0;
    while (i < name.size() && i + Width(name, i) < name.size()) i += Width(name, i);
    if (i < name.size() && Width(name, i) == 1 && IsLead(static_cast<unsigned char>(name[i])))
        name.remove_suffix(1);
    return name;
}

std::wstring LookupName(std::string_view name) { return Folded(Trim(CallerName(name))); }

}  // namespace

ProfileText::ProfileText(std::string bytes) : bytes_(std::move(bytes)) { Parse(); }

void ProfileText::Parse() {
    sections_.assign(1, Section{});
    sectionIndex_.clear();
    sectionIndex_.emplace(std::wstring(), 0);
    const std::string_view text(bytes_);
    const size_t n = text.size();
    // Lines as an editor counts them: every CR LF, lone LF and lone CR ends
    // one, also where a lead byte takes a line end into a value.
    size_t pos = 0, line = 1, counted = 0;
    const auto lineAt = [&](size_t offset) {
        for (; counted < offset; ++counted) {
            if (text[counted] == '\n' || (text[counted] == '\r' && (counted + 1 >= n || text[counted + 1] != '\n')))
                ++line;
        }
        return line;
    };
    while (pos < n) {
        const size_t lineBegin = pos;
        size_t contentBegin = npos, contentEnd = pos, equals = npos, nameEnd = npos, lastBracket = npos;
        while (pos < n && text[pos] != '\r' && text[pos] != '\n') {
            const size_t width = Width(text, pos);
            const unsigned char c = static_cast<unsigned char>(text[pos]);
            if (width == 2 || !IsBlank(c)) {
                if (contentBegin == npos) contentBegin = pos;
                if (width == 1 && c == '=' && equals == npos) {
                    equals = pos;
                    nameEnd = contentEnd;  // the end of the last non-blank before it
                }
                if (width == 1 && c == ']') lastBracket = pos;
                contentEnd = pos + width;
            }
            pos += width;
        }
        const size_t textEnd = pos;
        if (pos < n && text[pos] == '\r') ++pos;
        if (pos < n && text[pos] == '\n' && (pos == textEnd || text[pos - 1] == '\r')) ++pos;
        if (contentBegin == npos) continue;  // an empty line belongs to no section

        if (text[contentBegin] == '[' && lastBracket != npos) {
            Section section;
            section.name = std::string(Trim(UpToZero(text.substr(contentBegin + 1, lastBracket - contentBegin - 1))));
            section.lineBegin = lineBegin;
            section.line = lineAt(lineBegin);
            section.contentBegin = contentBegin;
            section.contentEnd = contentEnd;
            section.insertAt = pos;
            section.lastLineEnded = pos > textEnd;
            sectionIndex_.emplace(Folded(section.name), sections_.size());
            sections_.push_back(std::move(section));
            continue;
        }
        Key key;
        key.line = lineAt(lineBegin);
        key.contentBegin = contentBegin;
        key.lineBegin = lineBegin;
        key.contentEnd = contentEnd;
        key.lineEnd = pos;
        key.hasValue = equals != npos;
        if (key.hasValue) {
            key.nameEnd = equals == contentBegin ? contentBegin : nameEnd;
            key.valueBegin = equals + 1;
            while (key.valueBegin < contentEnd && IsBlank(static_cast<unsigned char>(text[key.valueBegin])))
                ++key.valueBegin;
        } else {
            key.nameEnd = contentEnd;
            key.valueBegin = contentEnd;
        }
        key.name = std::string(UpToZero(text.substr(contentBegin, key.nameEnd - contentBegin)));
        Section& section = sections_.back();
        section.index.emplace(Folded(key.name), section.keys.size());
        section.keys.push_back(std::move(key));
        section.insertAt = pos;
        section.lastLineEnded = pos > textEnd;
    }
}

const ProfileText::Section* ProfileText::FindSection(std::string_view name) const {
    const auto found = sectionIndex_.find(LookupName(name));
    return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

const ProfileText::Key* ProfileText::FindKey(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    if (!s) return nullptr;
    const auto found = s->index.find(LookupName(key));
    return found == s->index.end() ? nullptr : &s->keys[found->second];
}

bool ProfileText::Find(std::string_view section, std::string_view key, std::string& value) const {
    const Key* k = FindKey(section, key);
    if (!k || !k->hasValue) return false;
    value = ValueOf(*k);
    return true;
}

size_t ProfileText::LineOf(std::string_view section, std::string_view key) const {
    const Key* k = FindKey(section, key);
    return k ? k->line : 0;
}

std::string ProfileText::ValueOf(const Key& k) const {
    std::string_view v = UpToZero(std::string_view(bytes_).substr(k.valueBegin, k.contentEnd - k.valueBegin));
    // A pair of equal quotes around the value goes; the closing one must be
    // a character of its own, not the second byte of a double-byte one.
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'')) {
        size_t last = 0;
        for (size_t i = 0; i < v.size(); i += Width(v, i)) last = i;
        if (last > 0 && v[last] == v[0]) v = v.substr(1, last - 1);
    }
    return std::string(v);
}

std::vector<ProfileText::Line> ProfileText::Lines() const {
    std::vector<Line> lines;
    const std::string_view text(bytes_);
    for (size_t i = 0; i < sections_.size(); ++i) {
        const Section& s = sections_[i];
        const auto first = sectionIndex_.find(Folded(s.name));
        const bool sectionCounts = first != sectionIndex_.end() && first->second == i;
        if (i > 0) {
            Line header;
            header.kind = Line::Header;
            header.number = s.line;
            header.section = i;
            header.name = s.name;
            header.text = std::string(text.substr(s.contentBegin, s.contentEnd - s.contentBegin));
            header.counts = sectionCounts;
            lines.push_back(std::move(header));
        }
        for (size_t k = 0; k < s.keys.size(); ++k) {
            const Key& key = s.keys[k];
            Line line;
            line.kind = key.hasValue ? Line::Key : Line::KeyWithoutValue;
            line.number = key.line;
            line.section = i;
            line.name = key.name;
            if (key.hasValue) line.value = ValueOf(key);
            line.text = std::string(text.substr(key.contentBegin, key.contentEnd - key.contentBegin));
            const auto own = s.index.find(Folded(key.name));
            line.counts = sectionCounts && own != s.index.end() && own->second == k;
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

void ProfileText::Splice(size_t at, size_t length, const std::string& text) {
    bytes_.replace(at, length, text);
    Parse();
}

bool ProfileText::Set(std::string_view section, std::string_view key, std::string_view value) {
    section = CallerName(section);
    key = CallerName(key);
    value = TrimLeft(CallerName(value));
    // What the system writes for a new name: without its leading blanks (a
    // trailing blank stays in the file, and goes again on reading).
    const std::string newKey = std::string(TrimLeft(key)) + "=" + std::string(value) + "\r\n";
    const Section* s = FindSection(section);
    if (!s) {
        const std::string separator = EndsLine(bytes_) ? "" : "\r\n";
        Splice(bytes_.size(), 0, separator + "[" + std::string(TrimLeft(section)) + "]\r\n" + newKey);
        return true;
    }
    const auto found = s->index.find(LookupName(key));
    if (found == s->index.end()) {
        Splice(s->insertAt, 0, (s->lastLineEnded ? "" : "\r\n") + newKey);
        return true;
    }
    const Key& k = s->keys[found->second];
    if (k.hasValue && UpToZero(std::string_view(bytes_).substr(k.valueBegin, k.contentEnd - k.valueBegin)) == value)
        return false;
    Splice(k.nameEnd, k.contentEnd - k.nameEnd, "=" + std::string(value));
    return true;
}

size_t ProfileText::ReplaceValues(std::string_view section,
                                  const std::vector<std::pair<std::string, std::string>>& values) {
    struct Edit {
        size_t at, length;
        std::string text;
    };
    std::vector<Edit> edits;
    for (const auto& [key, value] : values) {
        const Key* k = FindKey(section, key);
        if (k) edits.push_back({k->nameEnd, k->contentEnd - k->nameEnd, "=" + std::string(TrimLeft(CallerName(value)))});
    }
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.at < b.at; });
    std::string bytes;
    size_t done = 0;
    for (const Edit& e : edits) {
        bytes.append(bytes_, done, e.at - done);
        bytes += e.text;
        done = e.at + e.length;
    }
    bytes.append(bytes_, done, std::string::npos);
    bytes_ = std::move(bytes);
    Parse();
    return edits.size();
}

bool ProfileText::DeleteKey(std::string_view section, std::string_view key) {
    // The system looks through every section of the name here, and takes
    // the caller's names as they are.
    const std::wstring sectionName = Folded(CallerName(section));
    const std::wstring keyName = Folded(CallerName(key));
    for (size_t i = 1; i < sections_.size(); ++i) {
        const Section& s = sections_[i];
        if (s.name.empty() || Folded(s.name) != sectionName) continue;
        const auto found = s.index.find(keyName);
        if (found == s.index.end()) continue;
        const Key& k = s.keys[found->second];
        Splice(k.lineBegin, k.lineEnd - k.lineBegin, "");
        return true;
    }
    return false;
}

bool ProfileText::DeleteSection(std::string_view section) {
    const std::wstring name = Folded(CallerName(section));
    for (size_t i = 1; i < sections_.size(); ++i) {
        const Section& s = sections_[i];
        if (s.name.empty() || Folded(s.name) != name) continue;
        const size_t end = i + 1 < sections_.size() ? sections_[i + 1].lineBegin : bytes_.size();
        Splice(s.lineBegin, end - s.lineBegin, "");
        return true;
    }
    return false;
}

std::string ProfileBytesFromFile(const std::string& raw, bool& unicode) {
    unicode = true;
    std::wstring wide;
    if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        wide = win932::FromUtf8(std::string_view(raw).substr(3));
    } else if (raw.size() >= 2 && (raw.compare(0, 2, "\xFF\xFE") == 0 || raw.compare(0, 2, "\xFE\xFF") == 0)) {
        const bool big = raw[0] == '\xFE';
        for (size_t i = 2; i + 1 < raw.size(); i += 2) {
            const unsigned char a = static_cast<unsigned char>(raw[i]), b = static_cast<unsigned char>(raw[i + 1]);
            wide += static_cast<wchar_t>(big ? (a << 8 | b) : (b << 8 | a));
        }
    } else {
        unicode = false;
        return raw;
    }
    // As the system hands such a file's values to an ANSI caller.
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(win932::kCodePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(win932::kCodePage, 0, wide.data(), size, bytes.data(), n, nullptr, nullptr);
    return bytes;
}
