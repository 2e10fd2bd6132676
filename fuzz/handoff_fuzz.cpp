// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a registry hive of a Wine prefix, as a stored value and as a
// link or title handed to aria2.  The reader must take any file, give back
// exactly what a well-formed file holds, and the aria2 side must never let a
// title out of its folder or a raw blank into a link.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "check.h"
#include "handoff/aria2_objects.h"
#include "handoff/aria2_rpc.h"
#include "handoff/probes.h"
#include "handoff/reg_work.h"
#include "handoff/wine_registry.h"
#include "text/codepage.h"

using namespace tessel;
using namespace tessel::handoff;

namespace {

void CheckValueText(const RegValue& value) {
    const std::u16string shown = RegValueToText(value);
    switch (value.type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            FUZZ_CHECK(shown.find(u'\0') == std::u16string::npos);
            FUZZ_CHECK(text::ToAnsi(shown).size() < kRegStringBuffer);
            break;
        case REG_BINARY:
            FUZZ_CHECK(shown.size() == (value.data.size() <= kRegBinaryBuffer ? value.data.size() * 3 : 0));
            break;
        case REG_DWORD:
            if (value.data.size() > 4) {
                FUZZ_CHECK(shown.empty());
            } else {
                // The text reads back as the little-endian number.
                std::uint32_t stored = 0;
                for (std::size_t i = 0; i < value.data.size(); ++i) {
                    stored |= static_cast<std::uint32_t>(static_cast<unsigned char>(value.data[i]))
                              << (8 * i);
                }
                FUZZ_CHECK(shown.size() > 2 && shown.size() <= 10 && shown.substr(0, 2) == u"0x");
                FUZZ_CHECK(std::stoul(text::ToAnsi(shown.substr(2)), nullptr, 16) == stored);
            }
            break;
        default:
            FUZZ_CHECK(shown.empty());
    }
}

// The value the probes look for, wherever the hive has it.
void CheckProbes(const RegHive& hive) {
    auto look = [&](const RegProbe& probe) {
        if (const RegValue* v = hive.Find(probe.keyPath, probe.valueName)) CheckValueText(*v);
    };
    look(kThunderProbe);
    look(kQqDownloadProbe);
    for (const FlashGetProbe& p : kFlashGetProbes) look(p.probe);
}

// Escaped the way Wine writes names and strings: C escapes for control
// characters, octal for other control characters and \x hex for every unit
// above 127, both padded to full length only when a digit follows.
std::string Escape(std::u16string_view s, bool keyName) {
    static constexpr std::string_view kControl = "\a\b\t\n\v\f\r\x1b";
    static constexpr std::string_view kLetter = "abtnvfre";
    std::string out;
    char buf[16];
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        const char16_t next = i + 1 < s.size() ? s[i + 1] : u'\0';
        if (c > 127) {
            const bool hexFollows = next < 128 && std::isxdigit(static_cast<unsigned char>(next));
            std::snprintf(buf, sizeof buf, hexFollows ? "\\x%04x" : "\\x%x", static_cast<unsigned>(c));
            out += buf;
        } else if (const std::size_t k = kControl.find(static_cast<char>(c));
                   c != 0 && k != std::string_view::npos) {
            out += '\\';
            out += kLetter[k];
        } else if (c < 32) {
            const bool octalFollows = next >= u'0' && next <= u'7';
            std::snprintf(buf, sizeof buf, octalFollows ? "\\%03o" : "\\%o", static_cast<unsigned>(c));
            out += buf;
        } else {
            if (c == '\\' || c == '"' || (keyName && (c == '[' || c == ']'))) out += '\\';
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string Utf16Le(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

std::u16string Units(std::string_view bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return out;
}

// A hive written from the fuzzer's names and values reads back as written.
void CheckWrittenHive(FuzzedDataProvider& in) {
    const std::u16string key = Units(in.ConsumeRandomLengthString(64));
    const std::u16string name = Units(in.ConsumeRandomLengthString(32));
    const std::u16string str = Units(in.ConsumeRandomLengthString(64));
    const std::string bin = in.ConsumeRandomLengthString(64);
    const std::uint32_t dword = in.ConsumeIntegral<std::uint32_t>();

    std::string file = "WINE REGISTRY Version 2\n#arch=win64\n\n[" + Escape(key, true) + "] 1733563200\n";
    file += "#time=1db489a1c2d3e4f\n";
    file += "@=\"" + Escape(str, false) + "\"\n";
    file += "\"" + Escape(name, false) + "-str\"=str(2):\"" + Escape(str, false) + "\"\n";
    file += "\"" + Escape(name, false) + "-bin\"=hex:";
    char buf[16];
    for (std::size_t i = 0; i < bin.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned>(static_cast<unsigned char>(bin[i])));
        file += buf;
        if (i + 1 < bin.size()) file += (i % 20 == 19) ? ",\\\n  " : ",";
    }
    std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(dword));
    file += "\n\"" + Escape(name, false) + "-dword\"=dword:" + buf + "\n";

    const RegHive hive = ParseWineRegistry(file);
    FUZZ_CHECK(hive.IsWin64());
    FUZZ_CHECK(hive.HasKey(key));
    const std::string stored = Utf16Le(str) + std::string(2, '\0');
    const RegValue* def = hive.Find(key, u"");
    FUZZ_CHECK(def && def->type == REG_SZ && def->data == stored);
    const RegValue* expand = hive.Find(key, name + u"-str");
    FUZZ_CHECK(expand && expand->type == REG_EXPAND_SZ && expand->data == stored);
    const RegValue* binary = hive.Find(key, name + u"-bin");
    FUZZ_CHECK(binary && binary->type == REG_BINARY && binary->data == bin);
    const RegValue* number = hive.Find(key, name + u"-dword");
    const std::string little{static_cast<char>(dword & 0xFF), static_cast<char>((dword >> 8) & 0xFF),
                             static_cast<char>((dword >> 16) & 0xFF), static_cast<char>(dword >> 24)};
    FUZZ_CHECK(number && number->type == REG_DWORD && number->data == little);
    CheckValueText(*def);
    CheckValueText(*binary);
    CheckValueText(*number);
}

void CheckAria2Texts(std::u16string_view t) {
    const std::u16string out = Aria2OutName(t);
    FUZZ_CHECK(out != u"." && out != u"..");
    FUZZ_CHECK(text::ToUtf8(out).size() <= 240);
    for (char16_t c : out) FUZZ_CHECK(c != u'/' && c != u'\\' && c >= 0x20 && c != 0x7F);

    for (unsigned char c : EscapeLinkForAria2(t)) FUZZ_CHECK(c > 0x20 && c < 0x7F);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckProbes(ParseWineRegistry(bytes));
    CheckAria2Texts(text::FromUtf8(bytes));

    FuzzedDataProvider in(data, size);
    RegValue value;
    value.type = in.ConsumeIntegralInRange<std::uint32_t>(0, 8);
    value.data = in.ConsumeRandomLengthString(1100);
    CheckValueText(value);
    CheckWrittenHive(in);
    return 0;
}
