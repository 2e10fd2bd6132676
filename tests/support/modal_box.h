// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The modal boxes a call under test opens: a test cannot act on them after
// the call, which only returns once they close, so it lines up what to do
// with the next one before making the call.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <functional>

namespace tessel::testsupport {

// Runs `act` on the modal box of type Box that the next call opens; `act`
// answers it, which closes it.
template <class Box>
void OnNextModal(std::function<void(Box*)> act) {
    QTimer::singleShot(0, [act] {
        auto* box = qobject_cast<Box*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        act(box);
    });
}

// `look` sees the next modal box of type Box, which is then closed as with
// Esc.
template <class Box>
void WhenOpen(std::function<void(Box*)> look) {
    OnNextModal<Box>([look](Box* box) {
        look(box);
        box->reject();
    });
}

}  // namespace tessel::testsupport
