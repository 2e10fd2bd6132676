// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/forward_message.h"

#include <algorithm>

#include "text/codepage.h"

namespace tessel::bridge {
namespace {

bool IsText(std::string_view bytes) {
    return bytes.find('\0') == std::string_view::npos && text::IsValidUtf8(bytes);
}

void PutU32(std::string& out, std::uint32_t v) {
    out += static_cast<char>((v >> 24) & 0xFF);
    out += static_cast<char>((v >> 16) & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
    out += static_cast<char>(v & 0xFF);
}

}  // namespace

std::optional<std::string> EncodeForwardMessage(const std::vector<std::string>& items) {
    if (items.size() > kMaxForwardItems) return std::nullopt;
    std::string out(kForwardMagic);
    PutU32(out, static_cast<std::uint32_t>(items.size()));
    for (const std::string& item : items) {
        if (item.size() > kMaxForwardItemBytes || !IsText(item)) return std::nullopt;
        PutU32(out, static_cast<std::uint32_t>(item.size()));
        out += item;
        if (out.size() > kMaxForwardBytes) return std::nullopt;
    }
    return out;
}

const std::vector<std::string>& ForwardReader::Items() const {
    static const std::vector<std::string> kNone;
    return state_ == State::Done ? items_ : kNone;
}

ForwardReader::State ForwardReader::Refuse(std::string_view why) {
    state_ = State::Refused;
    reason_ = why;
    items_.clear();
    body_.clear();
    body_.shrink_to_fit();
    return state_;
}

bool ForwardReader::TakeHeader(std::string_view& bytes, std::size_t want) {
    const std::size_t n = std::min(want - header_.size(), bytes.size());
    header_.append(bytes.substr(0, n));
    bytes.remove_prefix(n);
    return header_.size() == want;
}

std::uint32_t ForwardReader::HeaderValue() const {
    std::uint32_t v = 0;
    for (unsigned char c : header_) v = (v << 8) | c;
    return v;
}

ForwardReader::State ForwardReader::Feed(std::string_view bytes) {
    if (state_ == State::Refused) return state_;
    if (state_ == State::Done) return bytes.empty() ? state_ : Refuse("bytes after the message");
    if (bytes.size() > kMaxForwardBytes - std::min(total_, kMaxForwardBytes))
        return Refuse("message too long");
    total_ += bytes.size();

    while (!bytes.empty() || (part_ == Part::Length && items_.size() == count_) ||
           (part_ == Part::Body && body_.size() == length_)) {
        switch (part_) {
            case Part::Magic:
                if (!TakeHeader(bytes, kForwardMagic.size())) return state_;
                if (header_ != kForwardMagic) return Refuse("not a message of this program");
                header_.clear();
                part_ = Part::Count;
                break;
            case Part::Count:
                if (!TakeHeader(bytes, 4)) return state_;
                count_ = HeaderValue();
                header_.clear();
                if (count_ > kMaxForwardItems) return Refuse("too many items");
                part_ = Part::Length;
                break;
            case Part::Length:
                if (items_.size() == count_) {
                    if (!bytes.empty()) return Refuse("bytes after the message");
                    state_ = State::Done;
                    return state_;
                }
                if (!TakeHeader(bytes, 4)) return state_;
                length_ = HeaderValue();
                header_.clear();
                if (length_ > kMaxForwardItemBytes) return Refuse("item too long");
                body_.clear();
                body_.reserve(length_);
                part_ = Part::Body;
                break;
            case Part::Body: {
                const std::size_t n = std::min(length_ - body_.size(), bytes.size());
                body_.append(bytes.substr(0, n));
                bytes.remove_prefix(n);
                if (body_.size() < length_) return state_;
                if (!IsText(body_)) return Refuse("item is not text");
                items_.push_back(std::move(body_));
                body_ = std::string();
                part_ = Part::Length;
                break;
            }
        }
    }
    return state_;
}

}  // namespace tessel::bridge
