// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/sk_tip.h"

#include <QApplication>
#include <QCursor>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QToolTip>

namespace tessel::controls {

namespace {

constexpr int kStem = 10;   // height of the balloon's stem
constexpr int kRadius = 8;  // corner radius of the balloon

QPainterPath BalloonPath(const QRect& r) {
    // Rounded body below a stem at the upper left that points at the pointer.
    const QRectF body(r.left() + 0.5, r.top() + kStem + 0.5, r.width() - 1, r.height() - kStem - 1);
    QPainterPath path;
    path.addRoundedRect(body, kRadius, kRadius);
    QPainterPath stem;
    stem.moveTo(body.left() + 14, body.top() + 1);
    stem.lineTo(body.left() + 14, r.top() + 0.5);
    stem.lineTo(body.left() + 28, body.top() + 1);
    stem.closeSubpath();
    return path.united(stem);
}

}  // namespace

SkTip::SkTip(QWidget* tool, const Content& content)
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint), tool_(tool), content_(content) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setLayoutDirection(content.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    QPalette pal = QToolTip::palette();
    if (content.background.isValid()) pal.setColor(QPalette::ToolTipBase, content.background);
    setPalette(pal);

    label_ = new QLabel(this);
    label_->setTextFormat(Qt::RichText);
    label_->setWordWrap(true);
    label_->setForegroundRole(QPalette::ToolTipText);
    QString html;
    if (!content.title.isEmpty())
        html += QStringLiteral("<b>") + content.title.toHtmlEscaped() + QStringLiteral("</b><br>");
    html += content.text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    label_->setText(html);
    label_->setMaximumWidth(kMaxTextWidth);

    auto* layout = new QHBoxLayout(this);
    layout->setSpacing(4);
    if (content.balloon)
        layout->setContentsMargins(9, kStem + 6, 9, 6);
    else
        layout->setContentsMargins(4, 3, 4, 3);
    if (content.icon >= 1 && content.icon <= 3) {
        auto* icon = new QLabel(this);
        const QStyle::StandardPixmap sp = content.icon == 1   ? QStyle::SP_MessageBoxInformation
                                          : content.icon == 2 ? QStyle::SP_MessageBoxWarning
                                                              : QStyle::SP_MessageBoxCritical;
        icon->setPixmap(style()->standardIcon(sp).pixmap(16, 16));
        icon->setAlignment(Qt::AlignTop);
        layout->addWidget(icon);
    }
    layout->addWidget(label_);
    adjustSize();

    wake_.setSingleShot(true);
    wake_.setInterval(500);
    connect(&wake_, &QTimer::timeout, this, [this] {
        if (tool_ && tool_->isVisible() && tool_->rect().contains(tool_->mapFromGlobal(QCursor::pos())))
            ShowAt(QCursor::pos());
    });
    pop_.setSingleShot(true);
    pop_.setInterval(5000);
    connect(&pop_, &QTimer::timeout, this, &QWidget::hide);
}

SkTip::~SkTip() = default;

void SkTip::Arm() {
    if (content_.text.isEmpty()) return;
    wake_.start();
}

void SkTip::ShowAt(const QPoint& globalPos) {
    if (content_.text.isEmpty()) return;
    adjustSize();
    QPoint at = content_.balloon ? globalPos + QPoint(-20, 2) : globalPos + QPoint(2, 20);
    move(at);
    show();
    raise();
    pop_.start();
}

void SkTip::resizeEvent(QResizeEvent* e) {
    if (content_.balloon) {
        setMask(QRegion(BalloonPath(rect()).toFillPolygon().toPolygon()));
    } else {
        clearMask();
    }
    QWidget::resizeEvent(e);
}

void SkTip::paintEvent(QPaintEvent* /*e*/) {
    QPainter p(this);
    const QColor back = palette().color(QPalette::ToolTipBase);
    const QColor border = palette().color(QPalette::ToolTipText);
    if (content_.balloon) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(border);
        p.setBrush(back);
        p.drawPath(BalloonPath(rect()));
    } else {
        p.fillRect(rect(), back);
        p.setPen(border);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

}  // namespace tessel::controls
