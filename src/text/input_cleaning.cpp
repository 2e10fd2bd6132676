// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/input_cleaning.h"

#include "text/vbstring.h"

namespace tessel::text {

std::u16string CleanInput(std::u16string_view boxText) { return Trim(RemoveCrLf(boxText)); }

std::u16string PasteText(std::u16string_view clipboard) { return Trim(clipboard); }

}  // namespace tessel::text
