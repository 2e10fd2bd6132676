// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/wine_registry.h"

#include <algorithm>
#include <optional>

#include "text/codepage.h"

namespace tessel::handoff {
namespace {

char16_t FoldUnit(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
    if (c < 0x80) return c;
    // Latin-1: U+00E0..U+00FE map to U+00C0..U+00DE, except the division sign.
    if (c >= 0x00E0 && c <= 0x00FE && c != 0x00F7) return static_cast<char16_t>(c - 0x20);
    // Greek small letters (final sigma folds like sigma).
    if (c == 0x03C2) return 0x03A3;
    if (c >= 0x03B1 && c <= 0x03C9) return static_cast<char16_t>(c - 0x20);
    // Cyrillic.
    if (c >= 0x0430 && c <= 0x044F) return static_cast<char16_t>(c - 0x20);
    if (c >= 0x0450 && c <= 0x045F) return static_cast<char16_t>(c - 0x50);
    // Full-width Latin, common in names typed with a Chinese input method.
    if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 0x20);
    return c;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

unsigned HexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    return static_cast<unsigned>(c - 'A' + 10);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void SkipBlanks(std::string_view s, std::size_t& pos) {
    while (pos < s.size() && IsBlank(s[pos])) ++pos;
}

char16_t ControlEscape(char c) {
    switch (c) {
        case 'a':
            return 0x07;
        case 'b':
            return 0x08;
        case 'e':
            return 0x1B;
        case 'f':
            return 0x0C;
        case 'n':
            return 0x0A;
        case 'r':
            return 0x0D;
        case 't':
            return 0x09;
        case 'v':
            return 0x0B;
        default:
            return 0;
    }
}

// Reads Wine's escaped text from s[pos] up to the first unescaped `endChar`
// and leaves pos behind it.  Unescaped bytes above 127 do not occur in files
// Wine wrote; a hand-edited file gets them read as UTF-8.
std::optional<std::u16string> ReadEscaped(std::string_view s, std::size_t& pos, char endChar) {
    std::u16string out;
    std::string raw;  // run of unescaped bytes, decoded as a whole
    auto flush = [&] {
        if (!raw.empty()) {
            out += text::FromUtf8(raw);
            raw.clear();
        }
    };
    while (pos < s.size()) {
        const char c = s[pos];
        if (c == endChar) {
            ++pos;
            flush();
            return out;
        }
        if (c != '\\') {
            raw += c;
            ++pos;
            continue;
        }
        ++pos;  // the backslash
        if (pos >= s.size()) return std::nullopt;
        const char e = s[pos];
        if (const char16_t control = ControlEscape(e)) {
            flush();
            out += control;
            ++pos;
        } else if (e == 'x') {
            ++pos;
            if (pos >= s.size() || !IsHexDigit(s[pos])) {
                raw += 'x';
                continue;
            }
            flush();
            unsigned v = 0;
            for (int i = 0; i < 4 && pos < s.size() && IsHexDigit(s[pos]); ++i, ++pos) {
                v = v * 16 + HexValue(s[pos]);
            }
            out += static_cast<char16_t>(v);
        } else if (e >= '0' && e <= '7') {
            flush();
            unsigned v = 0;
            for (int i = 0; i < 3 && pos < s.size() && s[pos] >= '0' && s[pos] <= '7'; ++i, ++pos) {
                v = v * 8 + static_cast<unsigned>(s[pos] - '0');
            }
            out += static_cast<char16_t>(v);
        } else {
            raw += e;  // \\ \" \[ \] and anything else stand for themselves
            ++pos;
        }
    }
    return std::nullopt;
}

std::string Utf16LeBytes(std::u16string_view units) {
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t u : units) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

class Parser {
 public:
    explicit Parser(std::string_view text) : text_(text) {}

    RegHive Run() {
        RegHive hive;
        std::optional<std::u16string> key;
        std::string_view line;
        while (NextLine(line)) {
            if (line.empty()) continue;
            if (line[0] == '[') {
                std::size_t pos = 1;
                key = ReadEscaped(line, pos, ']');
                if (key && Depth(*key) > kMaxRegKeyDepth) return {};
                if (key) hive.AddKey(*key);
            } else if (line[0] == '@' || line[0] == '"') {
                if (!key) continue;
                std::u16string name;
                RegValue value;
                if (ReadValueLine(line, name, value)) hive.SetValue(*key, name, std::move(value));
            } else if (line.starts_with("#arch=")) {
                hive.SetWin64(line.substr(6) == "win64");
            }
            // ";" comments, "#time=", "#class=" and the header carry nothing we read.
        }
        if (broken_) return {};
        return hive;
    }

 private:
    static std::size_t Depth(std::u16string_view key) {
        return static_cast<std::size_t>(std::count(key.begin(), key.end(), u'\\')) + 1;
    }

    // The next line without its end; false at the end of the text, or when
    // a line is too long for a hive, which then counts as broken.
    bool NextLine(std::string_view& line) {
        if (broken_ || next_ >= text_.size()) return false;
        std::size_t end = text_.find('\n', next_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(next_, end - next_);
        next_ = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > kMaxRegLineBytes) {
            broken_ = true;
            return false;
        }
        return true;
    }

    bool ReadValueLine(std::string_view line, std::u16string& name, RegValue& value) {
        std::size_t pos = 1;
        if (line[0] == '"') {
            auto n = ReadEscaped(line, pos, '"');
            if (!n) return false;
            name = std::move(*n);
        }
        SkipBlanks(line, pos);
        if (pos >= line.size() || line[pos] != '=') return false;
        ++pos;
        SkipBlanks(line, pos);
        const std::string_view rest = line.substr(pos);

        struct StringForm {
            std::string_view prefix;
            std::uint32_t type;
        };
        static constexpr StringForm kStringForms[] = {
            {"\"", REG_SZ}, {"str:\"", REG_SZ}, {"str(2):\"", REG_EXPAND_SZ}, {"str(7):\"", REG_MULTI_SZ}};
        for (const StringForm& form : kStringForms) {
            if (!rest.starts_with(form.prefix)) continue;
            std::size_t p = form.prefix.size();
            auto units = ReadEscaped(rest, p, '"');
            if (!units) return false;
            units->push_back(u'\0');
            value.type = form.type;
            value.data = Utf16LeBytes(*units);
            return true;
        }
        if (rest.starts_with("dword:")) {
            std::size_t p = 6;
            std::uint32_t v = 0;
            int digits = 0;
            for (; p < rest.size() && IsHexDigit(rest[p]); ++p, ++digits) v = v * 16 + HexValue(rest[p]);
            if (digits == 0 || digits > 8) return false;
            value.type = REG_DWORD;
            for (int i = 0; i < 4; ++i) value.data += static_cast<char>((v >> (8 * i)) & 0xFF);
            return true;
        }
        std::size_t p = 0;
        if (rest.starts_with("hex:")) {
            value.type = REG_BINARY;
            p = 4;
        } else if (rest.starts_with("hex(")) {
            p = 4;
            std::uint32_t type = 0;
            int digits = 0;
            for (; p < rest.size() && IsHexDigit(rest[p]); ++p, ++digits)
                type = type * 16 + HexValue(rest[p]);
            if (digits == 0 || digits > 8 || rest.substr(p, 2) != "):") return false;
            value.type = type;
            p += 2;
        } else {
            return false;
        }
        return ReadHexBytes(rest, p, value.data);
    }

    // "0a,ff,\" continued on the next lines; the backslash may follow a comma.
    bool ReadHexBytes(std::string_view s, std::size_t pos, std::string& out) {
        for (;;) {
            while (pos < s.size() && IsHexDigit(s[pos])) {
                unsigned v = 0;
                int digits = 0;
                for (; pos < s.size() && IsHexDigit(s[pos]); ++pos, ++digits) v = v * 16 + HexValue(s[pos]);
                if (digits > 2) return false;
                out += static_cast<char>(v);
                SkipBlanks(s, pos);
                if (pos < s.size() && s[pos] == ',') ++pos;
                SkipBlanks(s, pos);
            }
            SkipBlanks(s, pos);
            if (pos >= s.size()) return true;
            if (s[pos] != '\\' || !NextLine(s)) return false;
            pos = 0;
            SkipBlanks(s, pos);
        }
    }

    std::string_view text_;
    std::size_t next_ = 0;
    bool broken_ = false;
};

}  // namespace

std::u16string FoldRegName(std::u16string_view name) {
    std::u16string out(name);
    for (char16_t& c : out) c = FoldUnit(c);
    return out;
}

const RegValue* RegHive::Find(std::u16string_view keyPath, std::u16string_view valueName) const {
    const auto key = keys_.find(FoldRegName(keyPath));
    if (key == keys_.end() || !key->second) return nullptr;
    const auto value = key->second->find(FoldRegName(valueName));
    return value == key->second->end() ? nullptr : &value->second;
}

// Wine writes only keys that hold values or have no subkeys, so a key's
// parents exist without a header of their own: a key is there when it is
// stored or some stored key lies below it.  Keys are kept in order, so the
// first key at or after "path\" tells.
bool RegHive::HasKey(std::u16string_view keyPath) const {
    std::u16string folded = FoldRegName(keyPath);
    if (keys_.contains(folded)) return true;
    if (folded.empty()) return false;
    folded += u'\\';
    const auto below = keys_.lower_bound(folded);
    return below != keys_.end() && below->first.starts_with(folded);
}

void RegHive::AddKey(std::u16string_view keyPath) { keys_.try_emplace(FoldRegName(keyPath)); }

void RegHive::SetValue(std::u16string_view keyPath, std::u16string_view valueName, RegValue value) {
    std::unique_ptr<Values>& values = keys_[FoldRegName(keyPath)];
    if (!values) values = std::make_unique<Values>();
    (*values)[FoldRegName(valueName)] = std::move(value);
}

RegHive ParseWineRegistry(std::string_view fileText) { return Parser(fileText).Run(); }

}  // namespace tessel::handoff
