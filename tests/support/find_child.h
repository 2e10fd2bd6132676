// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Tests reach a window's or a page's controls by their object names, the
// names the program's texts and settings use, so they keep working however
// the page holds its controls.

#include <QObject>
#include <QString>
#include <stdexcept>
#include <string>
#include <typeinfo>

namespace tessel::shell::testing {

// The one descendant of `root` of type W named `name`.  None or several
// fail the test (the exception is reported as the test's failure).
template <class W>
W* Child(const QObject& root, const char* name) {
    const QList<W*> found = root.findChildren<W*>(QString::fromLatin1(name));
    if (found.size() != 1)
        throw std::runtime_error(std::to_string(found.size()) + " controls named " + name + " of type " +
                                 typeid(W).name() + " under " + root.objectName().toStdString());
    return found.front();
}

}  // namespace tessel::shell::testing
