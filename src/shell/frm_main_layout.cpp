// SPDX-License-Identifier: GPL-3.0-or-later
// Every control of the main window, placed in twips (15 to the pixel) the way
// the window was drawn.  Frames on the tab strip are given at their home
// position; the strip moves them by 10000 twips per tab.
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>
#include <limits>

#include "controls/safe_tabs.h"
#include "controls/sk_button.h"
#include "controls/twips.h"
#include "shell/clipboard_text_box.h"
#include "shell/frm_main.h"
#include "shell/resource_image.h"

namespace tessel::shell {

namespace {

using controls::SkButton;

QRect Px(double left, double top, double width, double height) {
    return controls::TwipsToPixels(QRectF(left, top, width, height));
}

template <class W>
W* Named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// Frames, labels, check and option buttons all sit on white.
void White(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, Qt::white);
    w->setPalette(p);
    // Buttons fill with their Button colour otherwise.
    w->setBackgroundRole(QPalette::Window);
    w->setAutoFillBackground(true);
}

// A frame drawn the classic way: one line around the contents that runs
// through the middle of the caption, which sits near the left on the
// frame's own background.  The children are placed absolutely, so the
// caption takes no room from them.
class FrameBox final : public QGroupBox {
 public:
    FrameBox(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

 protected:
    void paintEvent(QPaintEvent*) override {
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
};

QGroupBox* Frame(QWidget* parent, const char* name, const QString& caption, QRect px) {
    auto* f = Named(static_cast<QGroupBox*>(new FrameBox(caption, parent)), name);
    White(f);
    f->setGeometry(px);
    return f;
}

QLabel* Label(QWidget* parent, const char* name, const QString& caption, QRect px) {
    auto* l = Named(new QLabel(caption, parent), name);
    White(l);
    l->setGeometry(px);
    return l;
}

QLineEdit* Line(QWidget* parent, const char* name, QRect px, const QString& tip = {}) {
    auto* t = Named(new QLineEdit(parent), name);
    t->setGeometry(px);
    t->setToolTip(tip);
    // The boxes hold whatever the clipboard held; no length cap of their own.
    t->setMaxLength(std::numeric_limits<int>::max());
    return t;
}

QPlainTextEdit* Multi(QWidget* parent, const char* name, QRect px, const QString& tip = {}) {
    auto* t = Named(new QPlainTextEdit(parent), name);
    t->setGeometry(px);
    t->setToolTip(tip);
    t->setTabChangesFocus(true);
    return t;
}

SkButton* Button(QWidget* parent, const char* name, const QString& caption, double l, double t, double w,
                 double h) {
    auto* b = new SkButton(parent, QString::fromLatin1(name));
    b->setCaption(caption);
    b->setGeometryTwips(QRectF(l, t, w, h));
    return b;
}

const QString kPasteTip = QStringLiteral("双击从剪贴板中复制链接...");
const QString kCopyTip = QStringLiteral("双击将链接复制到剪贴板...");

// Home rectangle of every page frame on the strip.
const QRectF kPageHome(80, 520, 7335, 2655);

}  // namespace

void FrmMain::BuildLayout() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("TESSEL"));
    White(this);
    const QRect client = Px(0, 0, kClientWidth, kClientHeight);
    setFixedSize(client.size());

    safeTabs = Named(new SafeTabs(this), "SafeTabs");
    safeTabs->setGeometry(Px(0, 840, 7455, 3220));
    safeTabs->LoadTabs({QStringLiteral("115网盘"), QStringLiteral("专链转换"), QStringLiteral("在线视频"),
                        QStringLiteral("关于")},
                       0);
    safeTabs->setBackColor(controls::kWhite);

    BuildDiskPage();
    BuildLinkPage();
    BuildVideoPage();
    BuildAboutPage();

    FraIP = Frame(this, "FraIP", QString(), Px(0, 4080, 7455, kFraIPHeightIn));
    skbOption = Button(this, "skbOption", QStringLiteral("展开设置>>"), 6270, 4215, 1095, 335);
    BuildOptionsStrip();

    txtMessage = Named(new ClipboardTextBox(this), "txtMessage");
    txtMessage->setGeometry(Px(0, 5040, 7455, 375));

    // The window's own menu is never shown (the working one is the tray's).
    mnumain = Named(new QMenu(QStringLiteral("菜单"), this), "mnumain");
    mnuexit = Named(mnumain->addAction(QStringLiteral("退出(&E)")), "mnuexit");
}

void FrmMain::BuildDiskPage() {
    fra115 = Frame(safeTabs, "fra115", QStringLiteral("115链接提取："), {});
    safeTabs->AddTabChild(fra115, 0, kPageHome);
    lblPickcode = Label(fra115, "lblPickcode", QStringLiteral("完整链接或提取码："), Px(240, 360, 1815, 255));
    txtPickcode = Line(fra115, "txtPickcode", Px(2040, 360, 3735, 345), kPasteTip);
    skbPickcode = Button(fra115, "skbPickcode", QStringLiteral("获取"), 5880, 360, 1335, 340);

    lblTel = Label(fra115, "lblTel", QStringLiteral("电信地址："), Px(240, 960, 975, 255));
    txtTel = Line(fra115, "txtTel", Px(1320, 840, 5055, 345), kCopyTip);
    txtTel->setReadOnly(true);
    txtTel->setText(QStringLiteral("建议登录115网盘并记住登录状态，有时会有意想不到的效果"));
    txtTel->setCursorPosition(0);
    skbTelcopy = Button(fra115, "skbTelcopy", QStringLiteral("复制"), 6480, 840, 735, 325);

    lblCnc = Label(fra115, "lblCnc", QStringLiteral("网通地址："), Px(240, 1500, 975, 255));
    txtCnc = Line(fra115, "txtCnc", Px(1320, 1440, 5055, 345), kCopyTip);
    txtCnc->setReadOnly(true);
    skbCnccopy = Button(fra115, "skbCnccopy", QStringLiteral("复制"), 6480, 1440, 735, 325);

    lblBak = Label(fra115, "lblBak", QStringLiteral("备份地址："), Px(240, 2040, 975, 255));
    txtBak = Line(fra115, "txtBak", Px(1320, 2040, 5055, 345), kCopyTip);
    txtBak->setReadOnly(true);
    skbBakcopy = Button(fra115, "skbBakcopy", QStringLiteral("复制"), 6480, 2040, 735, 325);
}

void FrmMain::BuildLinkPage() {
    fraLink = Frame(safeTabs, "fraLink", QStringLiteral("专用链接转换："), {});
    safeTabs->AddTabChild(fraLink, 1, kPageHome);

    fraInput = Frame(fraLink, "fraInput", QStringLiteral("输入区"), Px(120, 240, 4695, 1095));
    txtInput = Multi(fraInput, "txtInput", Px(120, 240, 3975, 735), kPasteTip);
    skbInput = Button(fraInput, "skbInput", QStringLiteral("粘贴入"), 4200, 240, 340, 735);

    fraOutput = Frame(fraLink, "fraOutput", QStringLiteral("输出区"), Px(120, 1440, 4695, 1095));
    txtOutput = Multi(fraOutput, "txtOutput", Px(120, 240, 3975, 735), kCopyTip);
    txtOutput->setReadOnly(true);
    skbOutput = Button(fraOutput, "skbOutput", QStringLiteral("复制出"), 4200, 240, 340, 735);

    fraOperate = Frame(fraLink, "fraOperate", QStringLiteral("操作区"), Px(5040, 240, 2055, 2295));
    skbTogeneral =
        Button(fraOperate, "skbTogeneral", QStringLiteral("输入地址>>普通地址"), 120, 240, 1815, 305);
    skbTothunder =
        Button(fraOperate, "skbTothunder", QStringLiteral("输入地址>>迅雷地址"), 120, 580, 1815, 305);
    skbToflashget =
        Button(fraOperate, "skbToflashget", QStringLiteral("输入地址>>快车地址"), 120, 915, 1815, 305);
    skbToqqdl = Button(fraOperate, "skbToqqdl", QStringLiteral("输入地址>>旋风地址"), 120, 1250, 1815, 305);
    skbToRayfile =
        Button(fraOperate, "skbToRayfile", QStringLiteral("输入地址>>  Rayfile  "), 120, 1585, 1815, 305);
    skbURL = Button(fraOperate, "skbURL", QStringLiteral("输入地址 URL 加解密"), 120, 1920, 1815, 305);

    txtFilesize = Line(fraLink, "txtFilesize", Px(7080, 1680, 180, 855));
    txtFilesize->setText(QStringLiteral("0"));
    txtFilesize->hide();
}

void FrmMain::BuildVideoPage() {
    fraFlv = Frame(safeTabs, "fraFlv", QStringLiteral("在线视频解析："), {});
    safeTabs->AddTabChild(fraFlv, 2, kPageHome);

    fraOnlineflv = Frame(fraFlv, "fraOnlineflv", QStringLiteral("视频地址："), Px(120, 240, 5055, 1095));
    txtOnlineflv = Multi(fraOnlineflv, "txtOnlineflv", Px(120, 240, 4335, 735), kPasteTip);
    skbOnlineflv = Button(fraOnlineflv, "skbOnlineflv", QStringLiteral("粘贴入"), 4560, 240, 345, 735);

    fratxtFlvlink = Frame(fraFlv, "fratxtFlvlink", QStringLiteral("下载地址："), Px(120, 1440, 5055, 1095));
    txtFlvlink = Multi(fratxtFlvlink, "txtFlvlink", Px(120, 240, 4335, 735), kCopyTip);
    txtFlvlink->setReadOnly(true);
    skbFlvlink = Button(fratxtFlvlink, "skbFlvlink", QStringLiteral("复制出"), 4560, 240, 345, 735);

    fraFlvoperation = Frame(fraFlv, "fraFlvoperation", QStringLiteral("操作区："), Px(5400, 240, 1815, 2295));
    skbParse = Button(fraFlvoperation, "skbParse", QStringLiteral("解析地址"), 120, 240, 1575, 315);
    skbFlvIE = Button(fraFlvoperation, "skbFlvIE", QStringLiteral("IE下载"), 120, 600, 1575, 315);
    skbFlvthunder = Button(fraFlvoperation, "skbFlvthunder", QStringLiteral("迅雷下载"), 120, 960, 1575, 315);
    skbFlvflashget =
        Button(fraFlvoperation, "skbFlvflashget", QStringLiteral("快车下载"), 120, 1320, 1575, 315);
    skbQqdl = Button(fraFlvoperation, "skbQqdl", QStringLiteral("旋风下载"), 120, 1680, 1575, 315);
    lblfilename =
        Label(fraFlvoperation, "lblfilename", QStringLiteral("双击复制文件名"), Px(120, 2040, 1335, 195));
    lblfilename->setToolTip(QStringLiteral("双击右图复制文件名"));
    imgTip = Label(fraFlvoperation, "imgTip", QString(), Px(1440, 2025, 240, 240));
    imgTip->setPixmap(QPixmap::fromImage(ResourcePng(QStringLiteral(":/tessel/imgtip.png"))));
    imgTip->setToolTip(QString());
}

void FrmMain::BuildAboutPage() {
    fraAbout = Frame(safeTabs, "fraAbout", QStringLiteral("关于Tessel："), {});
    safeTabs->AddTabChild(fraAbout, 3, kPageHome);
    txtAbout = Multi(fraAbout, "txtAbout", Px(120, 240, 7095, 2295));
    txtAbout->setReadOnly(true);
    txtAbout->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFile credits(QStringLiteral(":/tessel/credits.txt"));
    if (credits.open(QIODevice::ReadOnly))
        txtAbout->setPlainText(QString::fromUtf8(credits.readAll()).trimmed());
}

void FrmMain::BuildOptionsStrip() {
    lblIP = Label(FraIP, "lblIP", QString(), Px(120, 240, 6015, 200));
    lblIP->setToolTip(QStringLiteral("双击将IP地址复制到剪贴板..."));
    lblIP->hide();

    auto check = [this](const char* name, const QString& caption, QRect px) {
        auto* c = Named(new QCheckBox(caption, FraIP), name);
        White(c);
        c->setGeometry(px);
        c->hide();
        return c;
    };
    chkOntop = check("chkOntop", QStringLiteral("始终置顶"), Px(120, 520, 1095, 255));
    chkClipboard = check("chkClipboard", QStringLiteral("监视剪贴板"), Px(1320, 520, 1455, 255));
    chkShowIP = check("chkShowIP", QStringLiteral("显示IP地址"), Px(2880, 520, 1335, 255));

    optQQ = Named(new QRadioButton(QStringLiteral("仿QQ自动隐藏(不可保存设置)"), FraIP), "optQQ");
    White(optQQ);
    optQQ->setGeometry(Px(4320, 520, 2655, 255));
    optQQ->setChecked(false);
    optQQ->hide();

    auto timer = [this](const char* name, int interval) {
        auto* t = Named(new QTimer(this), name);
        t->setInterval(interval);
        return t;
    };
    tmrMove = timer("tmrMove", 1);
    tmrCheck = timer("tmrCheck", 50);
    tmrClipboard = timer("tmrClipboard", 0);
}

}  // namespace tessel::shell
