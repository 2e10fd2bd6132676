// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Automation objects: created by programmatic identifier, called by method
// name with a list of arguments, released when the last owner lets go.
// Arguments take three forms: text, a 16-bit integer and the empty variant.
// Failures are raised as AutomationError, carrying a number, a source and a
// description, as the caller of a real object would see them.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "text/numbered_error.h"

namespace tessel::handoff {

// std::monostate is the empty variant.
using Variant = std::variant<std::monostate, std::u16string, std::int16_t>;

inline constexpr std::monostate kEmpty{};

// The text a method reads from an argument: the text itself, an integer in
// decimal, the empty variant as "".
std::u16string VariantText(const Variant& v);

// The identifiers the hand-off commands create.
inline constexpr std::u16string_view kThunderAgentProgId = u"ThunderAgent.Agent";
inline constexpr std::u16string_view kFlashGetNetscapeExProgId = u"BHO.IFlashGetNetscapeEx";
inline constexpr std::u16string_view kFlashGetNetscapeProgId = u"BHO.IFlashGetNetscape";
inline constexpr std::u16string_view kJetCarNetscapeProgId = u"JetCar.Netscape";
inline constexpr std::u16string_view kQqRightClickProgId = u"QQIEHelper.QQRightClick.2";

// The error numbers a caller sees for the failures of the automation layer.
inline constexpr std::int32_t kErrCannotCreateObject = 429;
inline constexpr std::int32_t kErrMethodNotSupported = 438;
inline constexpr std::int32_t kErrWrongArgumentCount = 450;

class AutomationError : public text::NumberedError<std::int32_t, std::u16string> {
 public:
    AutomationError(std::int32_t number, std::u16string source, std::u16string description);
};

class AutomationObject {
 public:
    virtual ~AutomationObject() = default;
    // Calls `method` (names match without regard to case) with `args`;
    // raises AutomationError for an unknown method or a wrong argument count.
    virtual Variant Invoke(std::u16string_view method, std::span<const Variant> args) = 0;
};

class ObjectFactory {
 public:
    virtual ~ObjectFactory() = default;
    // A new object, or nullptr when nothing is registered under progId.
    virtual std::unique_ptr<AutomationObject> Create(std::u16string_view progId) = 0;
};

// The object registered under progId; raises AutomationError 429 when there is none.
std::unique_ptr<AutomationObject> CreateObject(ObjectFactory& factory, std::u16string_view progId);

// Raises AutomationError 450 unless `args` holds between min and max arguments
// (for the replacement objects, which check their calls as the real ones do).
void RequireArgumentCount(std::u16string_view source, std::u16string_view method,
                          std::span<const Variant> args, std::size_t min, std::size_t max);
// Raises AutomationError 438 for a method the object does not have.
[[noreturn]] void RaiseUnknownMethod(std::u16string_view source, std::u16string_view method);

// Creates "ThunderAgent.Agent", calls AddTask with the eight arguments in this
// order, then CommitTasks2(1), and releases the object.
void SetThunderAgentTask(ObjectFactory& factory, const std::u16string& pURL, const std::u16string& pFileName,
                         const std::u16string& pPath, const std::u16string& pComments,
                         const std::u16string& pReferURL, std::int16_t nStartMode,
                         std::int16_t nOnlyFromOrigin, std::int16_t nOriginThreadCount);

// Creates "BHO.IFlashGetNetscapeEx", calls AddUrlEx with the seven arguments
// in this order, and releases the object.
void SetJetCarNetscapeTask(ObjectFactory& factory, const std::u16string& fURL, const std::u16string& fInfo,
                           const std::u16string& fLocation, const std::u16string& fDowmloader,
                           const std::u16string& fsth0, std::int16_t fsth1, std::int16_t fsth2);

}  // namespace tessel::handoff
