// SPDX-License-Identifier: GPL-3.0-or-later
// The banner across the top of the window and its ripple effect: the
// simulation lives in WaveObject; here are its timer, its drawing and the
// mouse that makes the drops.
#include <malloc.h>

#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <chrono>
#include <cstring>
#include <span>

#include "controls/safe_tabs.h"
#include "shell/platform/dock_adapter.h"
#include "shell/ui/resource_image.h"
#include "shell/window/frm_main.h"
#include "text/vbstring.h"

namespace tessel::shell {

void FrmMain::SetBannerPicture(const QImage& picture, const QString& detailed) {
    ripple_timer_.stop();
    wave_.WaveRelease();
    banner_picture_ = picture.isNull() ? QImage() : picture.convertToFormat(QImage::Format_RGB32);
    banner_frame_ = banner_picture_;
    banner_detailed_ = picture.isNull() ? QString() : detailed;
    banner_device_source_ = QImage();
    update(0, 0, kBannerWidth, kBannerHeight);
}

namespace {
std::span<const std::uint32_t> Pixels32(const QImage& rgb32) {
    return {reinterpret_cast<const std::uint32_t*>(rgb32.constBits()),
            static_cast<std::size_t>(rgb32.width()) * static_cast<std::size_t>(rgb32.height())};
}
}  // namespace

void FrmMain::PrepareDeviceBanner(qreal dpr) {
    if (banner_picture_.isNull() || dpr <= 0) return;
    const QSize size(qRound(banner_picture_.width() * dpr), qRound(banner_picture_.height() * dpr));
    if (size == banner_picture_.size()) {
        // Nothing finer to ripple on this screen.
        if (wave_.FineWidth() > 0) wave_.SetFinePicture({}, 0, 0);
        return;
    }
    if (banner_device_source_.size() != size) {
        // Drawn for more pixels where we have such a drawing; a smooth
        // enlargement otherwise.  Either way no pixel is simply doubled.
        // Read here, so a screen of one pixel per point never holds it.
        QImage from = banner_detailed_.isEmpty() ? QImage() : ResourcePng(banner_detailed_);
        if (from.isNull()) from = banner_picture_;
        banner_device_source_ =
            (from.size() == size ? from : from.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation))
                .convertToFormat(QImage::Format_RGB32);
        banner_device_frame_ = banner_device_source_.copy();
        banner_device_stale_ = true;
    }
    // The surface ripples this drawing in its own render steps, tick for tick
    // with the 500 x 60 frame.
    if (wave_.Running() && QSize(wave_.FineWidth(), wave_.FineHeight()) != size) {
        wave_.SetFinePicture(Pixels32(banner_device_source_), size.width(), size.height());
        banner_device_stale_ = true;
    }
}

const QImage& FrmMain::BannerDeviceFrame(qreal dpr) {
    PrepareDeviceBanner(dpr);
    const QSize size(qRound(banner_frame_.width() * dpr), qRound(banner_frame_.height() * dpr));
    if (banner_frame_.isNull() || size == banner_frame_.size() || banner_device_source_.size() != size)
        return banner_frame_;
    if (banner_device_stale_) {
        banner_device_stale_ = false;
        // The still drawing until the ripple runs over it.
        const auto still = Pixels32(banner_device_source_);
        const auto fine = wave_.FinePixels();
        const auto src = fine.size() == still.size() ? fine : still;
        std::memcpy(banner_device_frame_.bits(), src.data(), src.size() * 4);
    }
    banner_device_frame_.setDevicePixelRatio(dpr);
    return banner_device_frame_;
}

bool FrmMain::StartRipple() {
    ripple_timer_.stop();
    wave_.WaveRelease();
    if (banner_picture_.isNull()) return false;
    const int w = banner_picture_.width();
    const int h = banner_picture_.height();
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y)
        std::memcpy(&pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w)],
                    banner_picture_.constScanLine(y), static_cast<std::size_t>(w) * 4);
    const auto ticks = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    if (!wave_.WaveInit(w, h, pixels, 0, static_cast<std::uint32_t>(ticks.count()))) return false;
    PrepareDeviceBanner(devicePixelRatioF());
    DrawWaveFrame();
    SyncRippleTimer();
    return true;
}

void FrmMain::SyncRippleTimer() {
    const bool seen = isVisible() && !isMinimized() && !(dock_ && dock_->OutOfSight());
    // A calm surface is drawn already and ticks would leave it as it is; the
    // next drop wakes the timer.
    if (!unloaded_ && wave_.Running() && !wave_.Calm() && seen) {
        if (!ripple_timer_.isActive()) ripple_timer_.start();
    } else {
        ripple_timer_.stop();
        // A level surface shows the picture itself: one copy of it at rest.
        if (!wave_.Resting() && wave_.Rest()) {
            banner_frame_ = banner_picture_;
#ifdef __GLIBC__
            // The buffers were below malloc's mapping threshold: without
            // this they would stay with the process, free but resident.
            malloc_trim(0);
#endif
        }
    }
}

void FrmMain::OnRippleTick() {
    if (wave_.WaveTick()) DrawWaveFrame();
    SyncRippleTimer();
}

void FrmMain::RippleDrop(int x, int y, int r, int depth) {
    wave_.WaveDrop(x, y, r, depth);
    SyncRippleTimer();
}

void FrmMain::RippleSetAuto(int mode, int count, int radius, int depth) {
    wave_.WaveSetAuto(mode, count, radius, depth);
    SyncRippleTimer();
}

void FrmMain::DrawWaveFrame() {
    const auto pixels = wave_.Pixels();
    const int w = wave_.Width();
    const int h = wave_.Height();
    if (banner_frame_.size() != QSize(w, h) || banner_frame_.format() != QImage::Format_RGB32)
        banner_frame_ = QImage(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        std::memcpy(banner_frame_.scanLine(y),
                    &pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w)],
                    static_cast<std::size_t>(w) * 4);
    banner_device_stale_ = true;
    update(0, 0, w, h);
}

void FrmMain::paintEvent(QPaintEvent*) {
    if (!painted_) {
        painted_ = true;
        qCDebug(lcWindow, "first paint at %lld us", MonotonicMicros());
    }
    if (banner_frame_.isNull()) return;
    QPainter p(this);
    p.drawImage(QPointF(0, 0), BannerDeviceFrame(devicePixelRatioF()));
}

namespace {
int Round(double v) { return static_cast<int>(text::RoundHalfEven(v)); }
}  // namespace

FrmMain::AutoDrops FrmMain::AutoDropsForPick(double r) {
    // k = 3r rounded, halves to even: 0 and 3 are half as likely as 1 and 2.
    switch (Round(3 * r)) {
        case 0:
            return {2, 5, 4, 250};  // one drop wandering 5 pixels a move
        case 1:
            return {3, 250, 4, 8};  // rain of small shallow drops
        case 2:
            return {1, 5, 4, 150};  // one random drop a tick
        default:
            return {0, 0, 0, 0};  // off
    }
}

void FrmMain::mouseMoveEvent(QMouseEvent* e) {
    if (wave_.Running()) RippleDrop(Round(e->position().x()), Round(e->position().y()), 2, 256);
    QWidget::mouseMoveEvent(e);
}

void FrmMain::mousePressEvent(QMouseEvent* e) {
    if (wave_.Running()) {
        if (e->button() == Qt::LeftButton) {
            RippleDrop(Round(e->position().x()), Round(e->position().y()), 5, 1000);
        } else {
            const AutoDrops a = AutoDropsForPick(QRandomGenerator::global()->generateDouble());
            RippleSetAuto(a.mode, a.count, a.radius, a.depth);
        }
    }
    QWidget::mousePressEvent(e);
}

}  // namespace tessel::shell
