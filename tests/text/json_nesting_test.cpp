// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/json_nesting.h"

#include <gtest/gtest.h>

#include <string>

namespace tessel::text {
namespace {

// Brackets count only outside strings, and an escaped quote does not end a
// string: otherwise a reply could hide its depth inside one, or pass for deep.
TEST(JsonNesting, CountsOnlyTheBracketsOutsideStrings) {
    struct Row {
        const char* name;
        std::string json;
        std::size_t limit;
        bool within;
    };
    const std::vector<Row> rows = {
        {"flat", R"({"a":1})", 1, true},
        {"one level too deep", R"({"a":[1]})", 1, false},
        {"mixed at the limit", R"([{"a":[{}]}])", 4, true},
        {"brackets in a string", R"({"a":"[[[[[[{{{{"})", 1, true},
        {"escaped quote keeps the string open", R"({"a":"\"[[[["})", 1, true},
        {"escaped backslash ends it", R"({"a":"\\"}[[)", 1, false},
        {"closers do not go below zero", "]]]]][[", 2, true},
        {"deep after siblings", "[[],[],[[[]]]]", 3, false},
        {"80000 levels", std::string(80000, '['), 64, false},
        {"empty", "", 0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(JsonNestingWithin(row.json, row.limit), row.within);
    }
}

}  // namespace
}  // namespace tessel::text
