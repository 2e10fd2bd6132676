// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// An error as the callers and scripts of our objects have always seen it: a
// number, the name of what raised it and a description, beside what().

#include <stdexcept>
#include <string>
#include <utility>

namespace tessel::text {

template <class NumberType, class TextType>
class NumberedError : public std::runtime_error {
 public:
    NumberedError(const std::string& what, NumberType number, TextType source, TextType description)
        : std::runtime_error(what),
          number_(number),
          source_(std::move(source)),
          description_(std::move(description)) {}

    NumberType Number() const { return number_; }
    const TextType& Source() const { return source_; }
    const TextType& Description() const { return description_; }

 private:
    NumberType number_;
    TextType source_;
    TextType description_;
};

}  // namespace tessel::text
