// SPDX-License-Identifier: GPL-3.0-or-later
// SkButton: how it is activated.  Push, check and option modes on Qt's
// checkable button, the option group of each container, the access key, and
// the default and cancel keys of the window.
#include <QButtonGroup>
#include <QCoreApplication>
#include <QKeySequence>
#include <QPointer>
#include <QShortcut>

#include "controls/sk_button.h"
#include "controls/sk_input_codes.h"

namespace tessel::controls {

namespace {

// The option buttons of one container share this group (found by name).
const QString kOptionGroup = QStringLiteral("skbOptionGroup");

}  // namespace

// ---------------------------------------------------------------------------
// Modes and the option group

void SkButton::setMode(int mode) {
    const bool was = isChecked();
    p_.mode = button_store::Clamp("Mode", mode);
    // Qt's button forgets its checked state when it becomes (un)checkable;
    // a check button made an option button keeps its Value.
    setCheckable(p_.mode != 0);
    JoinOptionGroup();
    if (p_.mode != 0) setChecked(was);
    if (p_.mode == 0) state_ = Normal;
    Refresh();
    Changed(QStringLiteral("Value"));
    Changed(QStringLiteral("Mode"));
}

void SkButton::setValue(bool value) {
    // Stored as given: unlike Qt's exclusive groups, setting one option button
    // leaves the others alone, and the selected one can be cleared.
    if (p_.mode == 0) {
        state_ = Normal;
    } else {
        setChecked(value);
        if (!value) state_ = Normal;
    }
    Changed(QStringLiteral("Value"));
    Refresh();
}

void SkButton::JoinOptionGroup() {
    QWidget* container = parentWidget();
    QButtonGroup* want = nullptr;
    if (p_.mode == 2 && container) {
        want = container->findChild<QButtonGroup*>(kOptionGroup, Qt::FindDirectChildrenOnly);
        if (!want) {
            want = new QButtonGroup(container);
            want->setObjectName(kOptionGroup);
            // Membership only: activation clears the others itself (Activate).
            want->setExclusive(false);
        }
    }
    if (group() != want) {
        if (group()) group()->removeButton(this);
        if (want) want->addButton(this);
    }
    // Qt reports auto-exclusive buttons as radio buttons; within a group the
    // group alone decides who belongs together.
    setAutoExclusive(want != nullptr);
}

void SkButton::checkStateSet() { Refresh(); }

void SkButton::nextCheckState() {
    if (!activation_done_) Activate();
}

void SkButton::Activate() {
    if (p_.mode == 1) {
        setChecked(!isChecked());
    } else if (p_.mode == 2) {
        // Every other selected option button of the container is cleared, not
        // only the one Qt's group saw selected last.
        if (QButtonGroup* g = group()) {
            for (QAbstractButton* other : g->buttons()) {
                auto* b = qobject_cast<SkButton*>(other);
                if (b && b != this && b->isChecked()) b->setValue(false);
            }
        }
        setChecked(true);
    }
}

void SkButton::ClickWithoutActivating() {
    QPointer<SkButton> self(this);
    activation_done_ = true;
    click();
    if (self) activation_done_ = false;
}

void SkButton::ActivateByKey(int keyCode) {
    // The access key, the default button's Enter and the cancel button's Esc
    // click at once (Qt's button would take the focus and click 100 ms later
    // after showing itself pressed).
    if (!isEnabled()) return;
    space_held_ = false;
    state_ = Normal;
    if (p_.mode != 0 && (keyCode == input::kKeyEscape || keyCode == input::kKeyEnter)) {
        Refresh();
        return;
    }
    Activate();
    Refresh();
    QPointer<SkButton> self(this);
    // Let the new look reach the screen before the handler runs.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (self) ClickWithoutActivating();
}

// ---------------------------------------------------------------------------
// Access key, default and cancel keys

void SkButton::DeriveAccessKey() {
    // Qt's own mnemonic rule differs in one case: after an escaped "&&", only
    // the next single "&" may mark the key ("A&&B&&c&d" has none).
    access_key_ = QChar();
    const QString c = text();
    if (c.size() > 1) {
        const qsizetype amp = c.indexOf(QLatin1Char('&'));
        if (amp >= 0 && amp < c.size() - 1) {
            if (c[amp + 1] != QLatin1Char('&')) {
                access_key_ = c[amp + 1].toLower();
            } else {
                const qsizetype next = c.indexOf(QLatin1Char('&'), amp + 2);
                if (next >= 0 && next < c.size() - 1 && c[next + 1] != QLatin1Char('&'))
                    access_key_ = c[next + 1].toLower();
            }
        }
    }
    setShortcut(access_key_.isNull() ? QKeySequence()
                                     : QKeySequence(QKeyCombination(
                                           Qt::AltModifier, Qt::Key(access_key_.toUpper().unicode()))));
}

void SkButton::UpdateShortcuts() {
    // While `on`, `key` anywhere in the window presses this button as the
    // virtual key `code` would.
    const auto remake = [this](QShortcut*& shortcut, bool on, Qt::Key key, int code) {
        delete shortcut;
        shortcut = nullptr;
        if (!on) return;
        shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, code] { ActivateByKey(code); });
    };
    remake(default_shortcut_, display_as_default_, Qt::Key_Return, input::kKeyEnter);
    remake(cancel_shortcut_, cancel_, Qt::Key_Escape, input::kKeyEscape);
}

void SkButton::setDisplayAsDefault(bool on) {
    if (display_as_default_ == on) return;
    display_as_default_ = on;
    UpdateShortcuts();
    Refresh();
}

void SkButton::setCancel(bool on) {
    cancel_ = on;
    UpdateShortcuts();
}

}  // namespace tessel::controls
