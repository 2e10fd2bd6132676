// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/stray_keys.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWidget>

namespace tessel::shell {

namespace {

class StrayKeyGuard final : public QObject {
 public:
    StrayKeyGuard(QWidget* box, std::chrono::milliseconds quiet) : QObject(box), box_(box), quiet_(quiet) {
        box->installEventFilter(this);
        // The keys go to the box's buttons, and its access keys (是(&Y))
        // arrive as shortcut events: only the application sees them all.
        qApp->installEventFilter(this);
    }

 protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == box_ && e->type() == QEvent::Show) {
            quiet_since_.start();
            // Where the window manager kept the focus elsewhere, the box
            // asks for attention instead.
            QApplication::alert(box_);
            return false;
        }
        if (!IsKey(e->type()) || !InBox(watched)) return false;
        if (quiet_since_.isValid() && quiet_since_.elapsed() >= quiet_.count()) return false;
        if (e->type() == QEvent::KeyPress) quiet_since_.start();
        return true;
    }

 private:
    static bool IsKey(QEvent::Type t) {
        return t == QEvent::KeyPress || t == QEvent::KeyRelease || t == QEvent::ShortcutOverride ||
               t == QEvent::Shortcut;
    }
    bool InBox(QObject* watched) const {
        auto* w = qobject_cast<QWidget*>(watched);
        return w && w->window() == box_;
    }

    QWidget* box_;
    std::chrono::milliseconds quiet_;
    QElapsedTimer quiet_since_;  // invalid until shown
};

}  // namespace

void GuardAgainstStrayKeys(QWidget* box, std::chrono::milliseconds quiet) { new StrayKeyGuard(box, quiet); }

}  // namespace tessel::shell
