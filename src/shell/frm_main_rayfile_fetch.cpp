// SPDX-License-Identifier: GPL-3.0-or-later
// The Rayfile command's automatic size fetch: the first block of the address
// through the page fetcher, whose progress event reports the announced size.
#include "links/commands.h"
#include "shell/frm_main.h"

namespace tessel::shell {

links::RayfileFetchOutcome FrmMain::FetchRayfileSize(const std::u16string& address) {
  // The fetch through Cdf arrives with the web services; until then the
  // user is asked for the size, as when a server announces none.
  (void)address;
  links::RayfileFetchOutcome outcome;
  outcome.askForSize = true;
  return outcome;
}

}  // namespace tessel::shell
