// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/pick_code.h"

#include "text/vbstring.h"
#include "web/reply_cuts.h"

namespace tessel::web {
namespace {

using text::InStr;
using text::InStrExact;
using text::Mid;
using text::Pos;

// A reply opens `{"state":` and the first letter of the state's value
// follows; "f" there means the service refused.
constexpr std::u16string_view kStateKey = u"{\"state\":";
constexpr Pos kStateValue = AfterMarker(1, kStateKey);
// A refusal carries `...Code":104`: the number right after the key.
constexpr std::u16string_view kCodeKey = u"Code\":";
constexpr Pos kErrorNumberUnits = 3;
// The addresses are looked for after `{"state":true,`.
constexpr Pos kAddressesFrom = AfterMarker(1, u"{\"state\":true,");
// Each address follows `Url":"` and ends at the next quote.
constexpr std::u16string_view kUrlName = u"Url";
constexpr std::u16string_view kUrlKey = u"Url\":\"";

std::u16string RefusalMessage(std::u16string_view number, bool& known) {
    for (const PickCodeRefusal& r : kPickCodeRefusals) {
        if (r.number == number) {
            known = true;
            return std::u16string(r.message);
        }
    }
    known = false;
    return std::u16string(kPickUnknownError);
}

}  // namespace

std::u16string CutPickCode(std::u16string_view trimmed) {
    std::u16string code(trimmed);
    static constexpr std::u16string_view kFileMarker = u"file";
    if (const Pos p = InStr(code, kFileMarker); p != 0) {
        // Everything after "file" and the slash behind it.  Input that ends
        // right at "file" has nothing after it, not a negative amount.
        code = text::Mid(code, AfterMarker(p, kFileMarker) + 1);
    }
    if (const Pos q = InStrExact(code, u"#"); q != 0) code = text::Left(code, q - 1);
    return code;
}

PickCodeReply ReadPickCodeReply(std::u16string_view replyText) {
    const std::u16string reply = text::Replace(replyText, u"\\/", u"/");
    PickCodeReply out;

    if (Mid(reply, kStateValue, 1) == u"f") {
        const Pos c = InStr(reply, u"Code");
        bool known = false;
        out.txtTel = RefusalMessage(Mid(reply, AfterMarker(c, kCodeKey), kErrorNumberUnits), known);
        out.storeErrorCode = !known;
        return out;
    }

    std::optional<std::u16string>* boxes[] = {&out.txtTel, &out.txtCnc, &out.txtBak};
    Pos s = kAddressesFrom;
    for (std::optional<std::u16string>* box : boxes) {
        const Pos u = InStr(reply, kUrlName, s);
        const Pos address = AfterMarker(u, kUrlKey);
        const Pos q = u == 0 ? 0 : InStrExact(reply, u"\"", address);
        // "url":"" and an address that never closes both mean: no address.
        if (q == 0 || q == address) {
            *box = std::u16string(kPickNoAddress);
            if (q != 0) s = q;
            continue;
        }
        *box = Between(reply, address, q);
        s = q;
    }
    out.deleteReply = true;
    return out;
}

PickCodeResult ExtractPickCode(std::u16string_view txtPickcode, std::u16string_view pickCodeApi,
                               const ReplyFetch& fetch) {
    PickCodeResult out;
    if (txtPickcode == kPickHint) return out;
    std::u16string trimmed = text::Trim(txtPickcode);
    if (trimmed.empty()) {
        out.txtPickcode = std::u16string(kPickHint);
        return out;
    }
    const std::u16string code = CutPickCode(trimmed);
    out.txtPickcode = std::move(trimmed);
    if (!fetch) return out;
    const std::optional<std::u16string> reply = fetch(BuildPickCodeRequest(pickCodeApi, code));
    if (!reply) return out;
    static_cast<PickCodeReply&>(out) = ReadPickCodeReply(*reply);
    return out;
}

}  // namespace tessel::web
