// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/page_parts.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QStyleFactory>
#include <cmath>
#include <limits>

#include "controls/sk_button.h"
#include "controls/twips.h"
#include "text/vbstring.h"

namespace tessel::shell {

QRect Px(double left, double top, double width, double height) {
    return controls::TwipsToPixels(QRectF(left, top, width, height));
}

void White(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, Qt::white);
    w->setPalette(p);
    // Buttons fill with their Button colour otherwise.
    w->setBackgroundRole(QPalette::Window);
    w->setAutoFillBackground(true);
}

FrameBox::FrameBox(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

FrameBox::FrameBox(const char* name, const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {
    setObjectName(QString::fromLatin1(name));
    White(this);
}

void FrameBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFontMetrics fm(font());
    const int line = title().isEmpty() ? 0 : fm.height() / 2;
    p.setPen(QColor(169, 196, 212));
    p.drawRect(QRectF(0.5, line + 0.5, width() - 1.0, height() - line - 1.0));
    if (title().isEmpty()) return;
    const QRect text(7, 0, fm.horizontalAdvance(title()) + 4, fm.height());
    p.fillRect(text, palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(text, Qt::AlignCenter, title());
}

QGroupBox* Frame(QWidget* parent, const char* name, const QString& caption, QRect px) {
    auto* f = new FrameBox(name, caption, parent);
    f->setGeometry(px);
    return f;
}

QLabel* Label(QWidget* parent, const char* name, const QString& caption, QRect px) {
    auto* l = Named(new QLabel(parent), name);
    // Some labels show what came from outside; none shows markup.
    l->setTextFormat(Qt::PlainText);
    l->setText(caption);
    White(l);
    l->setGeometry(px);
    return l;
}

QLineEdit* Line(QWidget* parent, const char* name, QRect px, const QString& tip) {
    auto* t = Named(new QLineEdit(parent), name);
    t->setGeometry(px);
    t->setToolTip(tip);
    // The boxes hold whatever the clipboard held; no length cap of their own.
    t->setMaxLength(std::numeric_limits<int>::max());
    return t;
}

namespace {

// The style draws a multi-line box's frame as a line centred on the box's
// outer edge.  On a screen scaled by a fraction (150 %) the outer half falls
// outside the box, where it is cut off, and depending on where the box lies
// the whole left, top or right line vanishes.  Moved inwards by half a
// pixel, each line covers the box's outermost pixel and shows.  At whole
// ratios the lines already show and are drawn as before.
class InsideFrameStyle : public QProxyStyle {
 public:
    explicit InsideFrameStyle(QStyle* base) : QProxyStyle(base) {}
    void drawPrimitive(PrimitiveElement pe, const QStyleOption* option, QPainter* p,
                       const QWidget* w) const override {
        const qreal ratio = p->device() ? p->device()->devicePixelRatioF() : 1.0;
        if (pe != PE_Frame || ratio == std::floor(ratio)) {
            QProxyStyle::drawPrimitive(pe, option, p, w);
            return;
        }
        p->save();
        p->translate(0.5, 0.5);
        QProxyStyle::drawPrimitive(pe, option, p, w);
        p->restore();
    }
};

}  // namespace

QPlainTextEdit* Multi(QWidget* parent, const char* name, QRect px, const QString& tip) {
    auto* t = Named(new QPlainTextEdit(parent), name);
    if (QStyle* base = QStyleFactory::create(t->style()->name())) {
        auto* style = new InsideFrameStyle(base);
        style->setParent(t);  // the box does not own the style it is given
        t->setStyle(style);
    }
    t->setGeometry(px);
    t->setToolTip(tip);
    t->setTabChangesFocus(true);
    // Breaking lines only between words makes one long unbroken line (an
    // address, a pasted blob) take time quadratic in its length to lay
    // out: minutes for a megabyte.  Breaking anywhere is linear.
    t->setWordWrapMode(QTextOption::WrapAnywhere);
    return t;
}

controls::SkButton* Button(QWidget* parent, const char* name, const QString& caption, double left, double top,
                           double width, double height) {
    auto* b = new controls::SkButton(parent, QString::fromLatin1(name));
    b->setCaption(caption);
    b->setGeometryTwips(QRectF(left, top, width, height));
    return b;
}

QString PasteTip() { return QStringLiteral("双击从剪贴板中复制链接..."); }
QString CopyTip() { return QStringLiteral("双击将链接复制到剪贴板..."); }

namespace {

// A paste area when `paste` is given, else a copy area.
QPlainTextEdit* AddTextArea(QWidget* page, const AreaNames& names, double top, double width,
                            double buttonWidth, std::function<void()> paste) {
    const bool in = static_cast<bool>(paste);
    auto* frame = Frame(page, names.frame, names.caption, Px(120, top, width, 1095));
    auto* box = Multi(frame, names.box, Px(120, 240, width - 720, 735), in ? PasteTip() : CopyTip());
    box->setReadOnly(!in);
    auto* button = Button(frame, names.button, in ? QStringLiteral("粘贴入") : QStringLiteral("复制出"),
                          width - 495, 240, buttonWidth, 735);
    const std::function<void()> action = in ? std::move(paste) : [box] { CopyBoxText(box); };
    QObject::connect(button, &controls::SkButton::Click, page, action);
    OnDoubleClick(box->viewport(), action);
    return box;
}

}  // namespace

TextAreas AddTextAreas(QWidget* page, double width, double buttonWidth, const AreaNames& in,
                       const AreaNames& out, std::function<void()> paste) {
    TextAreas areas{};
    areas.in = AddTextArea(page, in, 240, width, buttonWidth, std::move(paste));
    areas.out = AddTextArea(page, out, 1440, width, buttonWidth, nullptr);
    return areas;
}

std::vector<controls::SkButton*> AddButtonColumn(QWidget* frame, double left, double width, double height,
                                                 std::initializer_list<ColumnButton> buttons) {
    std::vector<controls::SkButton*> made;
    for (const ColumnButton& b : buttons) {
        made.push_back(Button(frame, b.name, b.caption, left, b.top, width, height));
        QObject::connect(made.back(), &controls::SkButton::Click, frame, b.click);
    }
    return made;
}

std::u16string BoxText(const QPlainTextEdit* box) {
    // A multi-line box keeps its lines apart; the program's text has CR LF
    // between them, as the commands expect.
    return text::Replace(box->toPlainText().toStdU16String(), u"\n", u"\r\n");
}

std::u16string BoxText(const QLineEdit* box) { return box->text().toStdU16String(); }

QString BoxCutMessage(qsizetype total) {
    return QStringLiteral("文本过长（%1 个字符），框中只显示前 %2 个字符").arg(total).arg(kBoxTextLimit);
}

QString FitBoxText(QString text) {
    if (text.size() <= kBoxTextLimit) return text;
    qsizetype keep = kBoxTextLimit;
    if (text.at(keep - 1).isHighSurrogate()) --keep;
    text.truncate(keep);
    return text;
}

namespace {

class BoxNotice final : public QObject {
 public:
    BoxNotice(QWidget* window, std::function<void(const QString&)> show)
        : QObject(window), show_(std::move(show)) {
        setObjectName(Name());
    }
    static QString Name() { return QStringLiteral("boxCutNotice"); }
    static BoxNotice* Of(QWidget* window) {
        // Only this class takes the name.
        return static_cast<BoxNotice*>(window->findChild<QObject*>(Name(), Qt::FindDirectChildrenOnly));
    }
    void Show(const QString& message) const { show_(message); }

 private:
    std::function<void(const QString&)> show_;
};

void ReportBoxCut(QWidget* box, const QString& message) {
    if (const BoxNotice* notice = BoxNotice::Of(box->window())) notice->Show(message);
}

// Cuts what goes into `box` and reports the cut.
QString Fit(QWidget* box, QString text) {
    const qsizetype total = text.size();
    text = FitBoxText(std::move(text));
    if (text.size() != total) ReportBoxCut(box, BoxCutMessage(total));
    return text;
}

}  // namespace

void OnBoxCut(QWidget* window, std::function<void(const QString&)> show) {
    delete BoxNotice::Of(window);
    new BoxNotice(window, std::move(show));
}

void SetBoxText(QPlainTextEdit* box, std::u16string_view text) {
    box->setPlainText(Fit(box, Q(text::Replace(text, u"\r\n", u"\n"))));
}

void SetBoxText(QLineEdit* box, std::u16string_view text) { box->setText(Fit(box, Q(text))); }

std::u16string FittedBoxText(std::u16string_view text) {
    const QString shown = FitBoxText(Q(text::Replace(text, u"\r\n", u"\n")));
    return text::Replace(shown.toStdU16String(), u"\n", u"\r\n");
}

void PutOnClipboard(const QString& text) {
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

void CopyBoxText(QPlainTextEdit* box) {
    const std::u16string text = BoxText(box);
    if (text.empty()) return;
    PutOnClipboard(Q(text));
    box->setFocus();
    box->selectAll();
}

QString ClipboardText() { return QGuiApplication::clipboard()->text(QClipboard::Clipboard); }

void PumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

namespace {

class DoubleClickFilter final : public QObject {
 public:
    DoubleClickFilter(QWidget* watched, std::function<void()> handler)
        : QObject(watched), handler_(std::move(handler)) {
        watched->installEventFilter(this);
    }

 protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonDblClick) handler_();
        return QObject::eventFilter(watched, e);
    }

 private:
    std::function<void()> handler_;
};

}  // namespace

void OnDoubleClick(QWidget* w, std::function<void()> handler) {
    new DoubleClickFilter(w, std::move(handler));
}

namespace {

class KeyActivation final : public QObject {
 public:
    KeyActivation(QLabel* label, std::function<void()> handler)
        : QObject(label), label_(label), handler_(std::move(handler)), normal_(label->palette()) {
        label->setFocusPolicy(Qt::TabFocus);
        label->installEventFilter(this);
    }

 protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched != label_) return QObject::eventFilter(watched, e);
        switch (e->type()) {
            case QEvent::FocusIn: {
                normal_ = label_->palette();
                QPalette p = normal_;
                p.setColor(QPalette::Window, normal_.color(QPalette::Highlight));
                p.setColor(QPalette::WindowText, normal_.color(QPalette::HighlightedText));
                label_->setPalette(p);
                break;
            }
            case QEvent::FocusOut:
                label_->setPalette(normal_);
                break;
            case QEvent::KeyPress: {
                const int key = static_cast<QKeyEvent*>(e)->key();
                if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
                    handler_();
                    return true;
                }
                break;
            }
            default:
                break;
        }
        return QObject::eventFilter(watched, e);
    }

 private:
    QLabel* label_;
    std::function<void()> handler_;
    QPalette normal_;
};

}  // namespace

void ActOnKeys(QLabel* label, std::function<void()> handler) { new KeyActivation(label, std::move(handler)); }

}  // namespace tessel::shell
