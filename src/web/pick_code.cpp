// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/pick_code.h"

#include "text/vbstring.h"

namespace tessel::web {
namespace {

using text::InStr;
using text::InStrExact;
using text::Mid;
using text::Pos;

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
    if (const Pos p = InStr(code, u"file"); p != 0) {
        // Everything after "file" and the slash behind it.  Input that ends
        // right at "file" has nothing after it, not a negative amount.
        code = text::Right(code, static_cast<Pos>(code.size()) - p - 4);
    }
    if (const Pos q = InStrExact(code, u"#"); q != 0) code = text::Left(code, q - 1);
    return code;
}

PickCodeReply ReadPickCodeReply(std::u16string_view replyText) {
    const std::u16string reply = text::Replace(replyText, u"\\/", u"/");
    PickCodeReply out;

    if (Mid(reply, 10, 1) == u"f") {
        // {"state":false,...,"errcode":"104"...}: the state value starts at 10.
        const Pos c = InStr(reply, u"Code");
        bool known = false;
        out.txtTel = RefusalMessage(Mid(reply, c + 6, 3), known);
        out.storeErrorCode = !known;
        return out;
    }

    std::optional<std::u16string>* boxes[] = {&out.txtTel, &out.txtCnc, &out.txtBak};
    Pos s = 15;
    for (std::optional<std::u16string>* box : boxes) {
        const Pos u = InStr(reply, u"Url", s);
        const Pos q = u == 0 ? 0 : InStrExact(reply, u"\"", u + 6);
        // "url":"" and an address that never closes both mean: no address.
        if (q == 0 || q == u + 6) {
            *box = std::u16string(kPickNoAddress);
            if (q != 0) s = q;
            continue;
        }
        *box = Mid(reply, u + 6, q - u - 6);
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
