// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Table tests of a function of one argument: a table of inputs and what the
// function makes of each, checked in one call that names the failing input.

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

#include "text/codepage.h"

namespace tessel {

template <typename In, typename Out>
struct TableRow {
    In in;
    Out out;
};

using TextRow = TableRow<std::u16string, std::u16string>;

template <typename F, typename In, typename Out, std::size_t N>
void ExpectRows(const F& f, const TableRow<In, Out> (&rows)[N]) {
    for (const TableRow<In, Out>& row : rows) {
        if constexpr (std::is_convertible_v<const In&, std::u16string_view>) {
            EXPECT_EQ(f(row.in), row.out) << text::ToUtf8(row.in);
        } else {
            EXPECT_EQ(f(row.in), row.out) << ::testing::PrintToString(row.in);
        }
    }
}

}  // namespace tessel
