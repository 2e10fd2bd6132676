// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/json_nesting.h"

namespace tessel::text {

bool JsonNestingWithin(std::string_view json, std::size_t limit) {
    std::size_t depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\')
                ++i;  // the escaped character, a quote included, is text
            else if (c == '"')
                inString = false;
            continue;
        }
        switch (c) {
            case '"':
                inString = true;
                break;
            case '[':
            case '{':
                if (++depth > limit) return false;
                break;
            case ']':
            case '}':
                // Unbalanced closers make the text invalid; the parser says so.
                if (depth > 0) --depth;
                break;
            default:
                break;
        }
    }
    return true;
}

}  // namespace tessel::text
