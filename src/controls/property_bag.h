// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The stored design-time properties of a control: one record per key, kept
// in the order they were written.  Keys are matched without regard to case.
// A reader supplies the default for a missing key; a writer omits a value
// that equals its default, so a control saved with all defaults stores
// nothing (except values written unconditionally).

#include <QString>
#include <QStringList>
#include <QVariant>
#include <utility>
#include <vector>

namespace tessel::controls {

class PropertyBag {
 public:
    // The stored value, or `def` when the key is absent.
    QVariant ReadProperty(const QString& key, const QVariant& def = {}) const;
    // Stores the value unless it equals `def` (pass an invalid QVariant to
    // store unconditionally).  Writing a key again replaces its value in place.
    void WriteProperty(const QString& key, const QVariant& value, const QVariant& def = {});

    bool Contains(const QString& key) const;
    void Remove(const QString& key);
    void Clear() { records_.clear(); }
    // Keys in the order they were first written.
    QStringList Keys() const;
    int Count() const { return static_cast<int>(records_.size()); }

 private:
    int IndexOf(const QString& key) const;
    std::vector<std::pair<QString, QVariant>> records_;
};

}  // namespace tessel::controls
