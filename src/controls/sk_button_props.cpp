// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/sk_button_props.h"

#include <QVariant>
#include <algorithm>

#include "controls/property_bag.h"

namespace tessel::controls {

namespace button_store {

namespace {

constexpr bool ReadingOrderIsAPermutation() {
    std::array<bool, kRows.size()> seen{};
    for (const Row& r : kRows) {
        if (r.readAt < 0 || r.readAt >= static_cast<int>(kRows.size()) ||
            seen[static_cast<std::size_t>(r.readAt)])
            return false;
        seen[static_cast<std::size_t>(r.readAt)] = true;
    }
    return true;
}
static_assert(ReadingOrderIsAPermutation(), "every key is read exactly once");

int ClampRow(const Row& r, int v) { return r.lo <= r.hi ? std::clamp(v, r.lo, r.hi) : v; }

template <class... Ts>
struct Overloads : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloads(Ts...) -> Overloads<Ts...>;  // clang 14 does not deduce aggregates

}  // namespace

std::array<const Row*, kRows.size()> ReadingOrder() {
    std::array<const Row*, kRows.size()> order{};
    for (const Row& r : kRows) order[static_cast<std::size_t>(r.readAt)] = &r;
    return order;
}

const Row* Find(std::string_view key) {
    for (const Row& r : kRows)
        if (key == r.key) return &r;
    return nullptr;
}

int Clamp(std::string_view key, int v) {
    const Row* r = Find(key);
    return r ? ClampRow(*r, v) : v;
}

}  // namespace button_store

using button_store::Row;

StoredButton ReadButton(const PropertyBag& bag, const QFont& ambient) {
    StoredButton b;
    for (const Row* row : button_store::ReadingOrder()) {
        const Row& r = *row;
        const QString key = QLatin1String(r.key);
        std::visit(button_store::Overloads{
                       [&](int StoredButton::*m) {
                           bool ok = false;
                           const int v = bag.ReadProperty(key, static_cast<int>(r.def)).toInt(&ok);
                           b.*m = button_store::ClampRow(r, ok ? v : static_cast<int>(r.def));
                       },
                       [&](bool StoredButton::*m) { b.*m = bag.ReadProperty(key, r.def != 0).toBool(); },
                       [&](OleColor StoredButton::*m) {
                           const auto def = static_cast<OleColor>(r.def);
                           bool ok = false;
                           const uint v = bag.ReadProperty(key, def).toUInt(&ok);
                           b.*m = ok ? static_cast<OleColor>(v) : def;
                       },
                       [&](QString StoredButton::*m) {
                           b.*m = bag.ReadProperty(key, QString::fromUtf8(r.text)).toString();
                       },
                       [&](QPixmap StoredButton::*m) { b.*m = bag.ReadProperty(key).value<QPixmap>(); },
                       [&](QFont StoredButton::*m) {
                           const QVariant f = bag.ReadProperty(key, ambient);
                           b.*m = f.canConvert<QFont>() ? f.value<QFont>() : ambient;
                       },
                   },
                   r.field);
    }
    return b;
}

void WriteButton(const StoredButton& b, PropertyBag& bag, const QFont& ambient) {
    for (const Row& r : button_store::kRows) {
        const QString key = QLatin1String(r.key);
        auto write = [&](const QVariant& v, const QVariant& def) {
            bag.WriteProperty(key, v, r.always ? QVariant() : def);
        };
        std::visit(button_store::Overloads{
                       [&](int StoredButton::*m) { write(b.*m, static_cast<int>(r.def)); },
                       [&](bool StoredButton::*m) { write(b.*m, r.def != 0); },
                       [&](OleColor StoredButton::*m) { write(b.*m, static_cast<OleColor>(r.def)); },
                       [&](QString StoredButton::*m) { write(b.*m, QString::fromUtf8(r.text)); },
                       [&](QPixmap StoredButton::*m) {
                           if ((b.*m).isNull())
                               bag.Remove(key);
                           else
                               bag.WriteProperty(key, b.*m);
                       },
                       [&](QFont StoredButton::*m) { write(b.*m, ambient); },
                   },
                   r.field);
    }
}

}  // namespace tessel::controls
