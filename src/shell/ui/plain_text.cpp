// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/plain_text.h"

#include <QEvent>
#include <QHelpEvent>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QToolTip>

#include "shell/ui/page_parts.h"

namespace tessel::shell {

QString PlainCut(QString text) { return FitBoxText(std::move(text)); }

void ShowPlain(QLabel* label, const QString& text) {
    label->setTextFormat(Qt::PlainText);
    label->setText(PlainCut(text));
}

QString PlainTip(const QString& text) {
    QString cut = PlainCut(text);
    // Qt decides between plain and rich text of a tooltip by this very guess.
    if (!Qt::mightBeRichText(cut)) return cut;
    return QStringLiteral("<p style=\"white-space:pre\">") + cut.toHtmlEscaped() + QStringLiteral("</p>");
}

namespace {

// Shows the widget's tooltip through PlainTip, where the widget itself would
// hand it to QToolTip as it stands.
class PlainTipFilter final : public QObject {
 public:
    explicit PlainTipFilter(QWidget* w) : QObject(w) {
        setObjectName(Name());
        w->installEventFilter(this);
    }
    static QString Name() { return QStringLiteral("plainTipFilter"); }

 protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::ToolTip) return false;
        auto* w = static_cast<QWidget*>(watched);
        if (w->toolTip().isEmpty()) return false;  // the widget ignores it, its parent may answer
        QToolTip::showText(static_cast<QHelpEvent*>(e)->globalPos(), PlainTip(w->toolTip()), w, QRect(),
                           w->toolTipDuration());
        return true;
    }
};

}  // namespace

void SetPlainTip(QWidget* w, const QString& text) {
    if (!w->findChild<QObject*>(PlainTipFilter::Name(), Qt::FindDirectChildrenOnly)) new PlainTipFilter(w);
    w->setToolTip(PlainCut(text));
}

void ShowPlain(QMessageBox* box, const QString& text) {
    box->setTextFormat(Qt::PlainText);
    box->setText(PlainCut(text));
}

void ShowPlain(QInputDialog* box, const QString& prompt) {
    // The box makes its label with the first prompt it is given.
    if (box->findChildren<QLabel*>().isEmpty()) box->setLabelText(QString());
    for (QLabel* label : box->findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
    box->setLabelText(PlainCut(prompt));
}

}  // namespace tessel::shell
