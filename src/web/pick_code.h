// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The disk page: a share link or bare pick code in, up to three download
// addresses (telecom, netcom, backup) or the service's refusal out.

#include <optional>
#include <string>
#include <string_view>

#include "web/services.h"

namespace tessel::web {

inline constexpr std::u16string_view kPickHint = u"请输入完整链接或提取码";
inline constexpr std::u16string_view kPickNoAddress = u"没有解析出此下载地址";

struct PickCodeRefusal {
    std::u16string_view number;
    std::u16string_view message;
};

// The service's error numbers we can explain.
inline constexpr PickCodeRefusal kPickCodeRefusals[] = {
    {u"100", u"软件版本太低，请下载此软件新版本"},
    {u"103", u"对不起，共享文件已到期或文件未开启共享"},
    {u"104", u"对不起，提取码已过期"},
    {u"106", u"对不起，无效的提取码"},
    {u"107", u"对不起，提取码不存在或已过期"},
    {u"109", u"对不起，非法文件，禁止下载"},
    {u"122", u"对不起，视频文件禁止共享"},
};
// And for any other number.
inline constexpr std::u16string_view kPickUnknownError = u"对不起，发生未知错误";

// The pick code inside trimmed input: everything after "file" (any case) and
// the one character after it, then up to a "#".  A bare code comes back
// unchanged; input that ends in "file" or "file/" gives an empty code.
std::u16string CutPickCode(std::u16string_view trimmed);

// What a reply does to the boxes.  "Nothing" means unchanged.
struct PickCodeReply {
    std::optional<std::u16string> txtTel;
    std::optional<std::u16string> txtCnc;
    std::optional<std::u16string> txtBak;
    bool storeErrorCode = false;  // write "errorcode" = "1" to the settings
    bool deleteReply = false;     // delete the reply file (kept after a refusal)
};

// Reads one reply (text as decoded; "\/" is unescaped here).
PickCodeReply ReadPickCodeReply(std::u16string_view reply);

struct PickCodeResult : PickCodeReply {
    std::optional<std::u16string> txtPickcode;  // written back to the input box
};

// The whole command for the input box text.  `fetch` is called at most once,
// with the request URL; "nothing" from it leaves every box as it was.
PickCodeResult ExtractPickCode(std::u16string_view txtPickcode, std::u16string_view pickCodeApi,
                               const ReplyFetch& fetch);

}  // namespace tessel::web
