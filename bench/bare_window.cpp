// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for bench/window_startup.sh: a bare Qt 6 window of the same
// size that reports its first paint the way tessel does.  With --label it
// also shows one line of Chinese in the face tessel uses, which is what any
// window with Chinese text pays for its font.
#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QWidget>
#include <chrono>
#include <cstdio>

namespace {
class Bare : public QWidget {
 protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), Qt::white);
        if (painted_) return;
        painted_ = true;
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        std::fprintf(stderr, "first paint at %lld us\n", static_cast<long long>(us.count()));
    }

 private:
    bool painted_ = false;
};
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool label = argc > 1 && QByteArray(argv[1]) == "--label";
    if (label) {
        QFont font(QStringLiteral("WenQuanYi Micro Hei"));
        font.setPixelSize(12);
        QApplication::setFont(font);
    }
    Bare w;
    if (label) {
        auto* text = new QLabel(QStringLiteral("专链转换 · 网盘提取 · 在线视频解析"), &w);
        text->setGeometry(10, 10, 300, 20);
        text->adjustSize();  // measures the text, as the window's controls do
    }
    w.setWindowTitle(QStringLiteral("TESSEL"));
    w.setFixedSize(496, 305);
    w.show();
    return QApplication::exec();
}
