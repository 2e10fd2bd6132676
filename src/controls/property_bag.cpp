// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/property_bag.h"

namespace tessel::controls {

int PropertyBag::IndexOf(const QString& key) const {
    for (size_t i = 0; i < records_.size(); ++i)
        if (records_[i].first.compare(key, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    return -1;
}

QVariant PropertyBag::ReadProperty(const QString& key, const QVariant& def) const {
    const int i = IndexOf(key);
    return i < 0 ? def : records_[static_cast<size_t>(i)].second;
}

void PropertyBag::WriteProperty(const QString& key, const QVariant& value, const QVariant& def) {
    const int i = IndexOf(key);
    if (def.isValid() && value == def) {
        // Writing the default over an older value must not leave the old one.
        if (i >= 0) records_.erase(records_.begin() + i);
        return;
    }
    if (i >= 0)
        records_[static_cast<size_t>(i)].second = value;
    else
        records_.emplace_back(key, value);
}

bool PropertyBag::Contains(const QString& key) const { return IndexOf(key) >= 0; }

void PropertyBag::Remove(const QString& key) {
    const int i = IndexOf(key);
    if (i >= 0) records_.erase(records_.begin() + i);
}

QStringList PropertyBag::Keys() const {
    QStringList keys;
    for (const auto& r : records_) keys << r.first;
    return keys;
}

}  // namespace tessel::controls
