// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The water-ripple effect over the banner picture, without any window system.
//
// A two-buffer height field: drops set heights, every tick advances the wave
// and renders the picture with each pixel displaced by the local slope of the
// surface.  The window owns the timer and the drawing:
//
//   WaveObject wave;
//   if (wave.WaveInit(500, 60, picturePixels, 0, tickCountMs)) draw wave.Pixels();
//   else keep the picture still (nothing else to do);
//   every 30 ms:          if (wave.WaveTick()) draw wave.Pixels();
//   mouse move at (x, y): wave.WaveDrop(x, y, 2, 256);
//   left press:           wave.WaveDrop(x, y, 5, 1000);
//   other button:         wave.WaveSetAuto(mode, count, radius, depth) as picked.
//
// Pixels are 32-bit 0xAARRGGBB values (QImage::Format_RGB32 / ARGB32), rows
// top to bottom, `width` pixels per row with no padding.  The blend works on
// the three colour bytes; the top byte is taken from the picture pixel at the
// centre of the blend.  Pixels() stays valid until the next WaveInit,
// WaveRelease, Rest or drop; its contents change only inside WaveInit and
// WaveTick.

#include <cstdint>
#include <span>
#include <vector>

namespace tessel::shell {

class WaveObject {
 public:
    // Bits of Flags().
    static constexpr std::uint32_t kActive = 1;    // the surface may still move
    static constexpr std::uint32_t kDirty = 2;     // output changed since last drawn
    static constexpr std::uint32_t kAutoDrop = 4;  // automatic drops on
    static constexpr std::uint32_t kFlat = 8;      // drops half as tall as wide

    // Starts the effect on a copy of `source` (width * height pixels).  Mode 2
    // makes drops flat.  `seed` starts the effect's random generator (the
    // system tick count in milliseconds).  Returns false, leaving the object
    // stopped, when the size is not positive, `source` has the wrong length or
    // the buffers cannot be had; the caller then simply shows the picture.
    // On success the first rendering is ready in Pixels().
    bool WaveInit(int width, int height, std::span<const std::uint32_t> source, int mode, std::uint32_t seed);

    // Stops the effect and frees the buffers; Pixels() becomes empty.
    void WaveRelease();

    // One timer tick: wave step and render while the surface moves, then the
    // automatic drops.  Returns true when Pixels() changed and is to be drawn.
    bool WaveTick();

    // A drop centred on picture pixel (x, y) of size r and height `depth`: a
    // square of side 2*(r/2)+1 (half as tall when flat) set to depth.  Ignored
    // unless the whole square lies at least one pixel inside the picture.
    void WaveDrop(int x, int y, int r, int depth);

    // Automatic drops: mode 1 one random drop per tick, 2 one drop wandering
    // `count` pixels per move every second tick, 3 `count` + 1 random drops per
    // tick, 0 off.
    void WaveSetAuto(int mode, int count, int radius, int depth);

    // The module's own generator: two RandomByte draws a, b;
    // (a + 256 * b) mod n, or the raw value when n is 0.
    std::int32_t Random(std::int32_t n);

    // A finer drawing of the picture, `fineWidth` x `fineHeight` pixels (for
    // a screen with more pixels per point), that every render step ripples
    // along with Pixels(), by the same surface: each fine pixel moves with
    // the surface pixel it lies in, by that pixel's slope scaled to fine
    // pixels, and is smoothed over one surface pixel, so the wave is the one
    // Pixels() shows while the picture under it keeps its detail.  Over the
    // picture enlarged by a whole factor, FinePixels() is Pixels() enlarged
    // by that factor.  Starts as the current surface over `fine`; false (and
    // no fine drawing) when the effect is stopped or the size is wrong.
    // WaveInit and WaveRelease drop it.
    bool SetFinePicture(std::span<const std::uint32_t> fine, int fineWidth, int fineHeight);
    std::span<const std::uint32_t> FinePixels() const { return resting_ ? fineSource_ : fineOutput_; }
    int FineWidth() const { return fineWidth_; }
    int FineHeight() const { return fineHeight_; }

    bool Running() const { return width_ > 0; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    std::span<const std::uint32_t> Pixels() const { return resting_ ? source_ : output_; }

    // A calm surface with every height 0 shows the picture as it is: the
    // height fields and the rendering are then let go (three more copies of
    // the picture's size), and Pixels() is the picture.  The next drop or
    // automatic drop brings them back level, so the frames from then on are
    // the ones an object that kept them would give.  Returns whether the
    // object rests; a surface not yet level keeps its buffers.
    bool Rest();
    bool Resting() const { return resting_; }

    std::uint32_t Flags() const { return flags_; }
    bool Active() const { return (flags_ & kActive) != 0; }
    // True while a tick would change nothing: the surface is still, no
    // automatic drops are on and nothing waits to be drawn.  Only a drop or
    // WaveSetAuto ends it, so a timer can rest until then and the frames
    // come out as if it had ticked all along.
    bool Calm() const { return (flags_ & (kActive | kAutoDrop | kDirty)) == 0; }
    // Current surface height at (x, y); 0 outside the picture.
    std::int32_t HeightAt(int x, int y) const;
    std::int32_t Seed() const { return seed_; }
    std::int32_t AutoMode() const { return autoMode_; }
    std::int32_t AutoX() const { return autoX_; }
    std::int32_t AutoY() const { return autoY_; }
    std::int32_t AutoDX() const { return autoDX_; }
    std::int32_t AutoDY() const { return autoDY_; }

 private:
    std::int32_t RandomByte();
    void WaveStep();
    void RenderStep();
    std::uint32_t Blend(int sx, int sy) const;
    void RenderFine();
    void AutoDrops();
    // Back from Rest(): false (still resting) when the buffers cannot be had.
    bool Wake();
    // Lets go of the height fields and the renderings (not the pictures).
    void FreeSurface();

    std::uint32_t flags_ = 0;
    bool resting_ = false;
    bool uneven_ = false;  // found not level since the surface last moved
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> source_;
    std::vector<std::uint32_t> output_;
    std::vector<std::int32_t> heightCur_;
    std::vector<std::int32_t> heightPrev_;
    int fineWidth_ = 0;
    int fineHeight_ = 0;
    std::vector<std::uint32_t> fineSource_;
    std::vector<std::uint32_t> fineOutput_;
    std::vector<int> fineColumn_;
    std::vector<int> fineRow_;
    std::int32_t seed_ = 0;
    std::int32_t autoMode_ = 0;
    std::int32_t autoCount_ = 0;
    std::int32_t autoRadius_ = 0;
    std::int32_t autoDepth_ = 0;
    std::int32_t autoX_ = 0;
    std::int32_t autoY_ = 0;
    std::int32_t autoDX_ = 0;
    std::int32_t autoDY_ = 0;
    std::uint32_t tickCounter_ = 0;  // only its parity matters; wraps harmlessly
};

}  // namespace tessel::shell
