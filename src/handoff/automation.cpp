// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/automation.h"

#include "text/codepage.h"
#include "text/vbstring.h"

namespace tessel::handoff {
namespace {

std::string Summary(std::int32_t number, std::u16string_view source, std::u16string_view description) {
    return "automation error " + std::to_string(number) + " (" + text::ToUtf8(source) +
           "): " + text::ToUtf8(description);
}

}  // namespace

std::u16string VariantText(const Variant& v) {
    if (const auto* s = std::get_if<std::u16string>(&v)) return *s;
    if (const auto* n = std::get_if<std::int16_t>(&v)) return text::ToDecimal(*n);
    return {};
}

AutomationError::AutomationError(std::int32_t number, std::u16string source, std::u16string description)
    : NumberedError(Summary(number, source, description), number, source, description) {}

std::unique_ptr<AutomationObject> CreateObject(ObjectFactory& factory, std::u16string_view progId) {
    auto object = factory.Create(progId);
    if (!object) {
        throw AutomationError(kErrCannotCreateObject, std::u16string(progId),
                              u"无法创建对象 " + std::u16string(progId));
    }
    return object;
}

void RequireArgumentCount(std::u16string_view source, std::u16string_view method,
                          std::span<const Variant> args, std::size_t min, std::size_t max) {
    if (args.size() >= min && args.size() <= max) return;
    throw AutomationError(kErrWrongArgumentCount, std::u16string(source),
                          u"方法 " + std::u16string(method) + u" 的参数个数不对：收到 " +
                              text::ToDecimal(static_cast<std::int64_t>(args.size())) + u" 个");
}

void RaiseUnknownMethod(std::u16string_view source, std::u16string_view method) {
    throw AutomationError(kErrMethodNotSupported, std::u16string(source),
                          u"对象不支持方法 " + std::u16string(method));
}

void SetThunderAgentTask(ObjectFactory& factory, const std::u16string& pURL, const std::u16string& pFileName,
                         const std::u16string& pPath, const std::u16string& pComments,
                         const std::u16string& pReferURL, std::int16_t nStartMode,
                         std::int16_t nOnlyFromOrigin, std::int16_t nOriginThreadCount) {
    const auto agent = CreateObject(factory, kThunderAgentProgId);
    const Variant task[] = {pURL,      pFileName,  pPath,           pComments,
                            pReferURL, nStartMode, nOnlyFromOrigin, nOriginThreadCount};
    agent->Invoke(u"AddTask", task);
    const Variant commit[] = {std::int16_t{1}};
    agent->Invoke(u"CommitTasks2", commit);
}

void SetJetCarNetscapeTask(ObjectFactory& factory, const std::u16string& fURL, const std::u16string& fInfo,
                           const std::u16string& fLocation, const std::u16string& fDowmloader,
                           const std::u16string& fsth0, std::int16_t fsth1, std::int16_t fsth2) {
    const auto flashGet = CreateObject(factory, kFlashGetNetscapeExProgId);
    const Variant args[] = {fURL, fInfo, fLocation, fDowmloader, fsth0, fsth1, fsth2};
    flashGet->Invoke(u"AddUrlEx", args);
}

}  // namespace tessel::handoff
