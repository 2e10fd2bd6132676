// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// An error as the callers and scripts of our objects have always seen it: a
// number, the name of what raised it and a description, beside what().

#include <stdexcept>
#include <string>
#include <utility>

namespace tessel::text {

template <class Number, class Text>
class NumberedError : public std::runtime_error {
 public:
    NumberedError(const std::string& what, Number number, Text source, Text description)
        : std::runtime_error(what),
          number_(number),
          source_(std::move(source)),
          description_(std::move(description)) {}

    Number number() const { return number_; }
    const Text& source() const { return source_; }
    const Text& description() const { return description_; }

 private:
    Number number_;
    Text source_;
    Text description_;
};

}  // namespace tessel::text
