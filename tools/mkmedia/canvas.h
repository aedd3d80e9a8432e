// A small anti-aliased canvas for drawing Quiltex's pictures from code:
// shapes are filled with 4 x 4 supersampled coverage and blended "over"
// straight (non-premultiplied) RGBA pixels.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "runtime/gfx2d/image.h"

namespace mkmedia {

struct Colour {
  float r = 0, g = 0, b = 0, a = 1;  // 0..1
};

inline Colour rgb(int hex, float alpha = 1.0f) {
  return {static_cast<float>((hex >> 16) & 0xFF) / 255.0f, static_cast<float>((hex >> 8) & 0xFF) / 255.0f,
          static_cast<float>(hex & 0xFF) / 255.0f, alpha};
}

inline Colour mix(Colour a, Colour b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

class Canvas {
 public:
  Canvas(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * static_cast<size_t>(h), Colour{0, 0, 0, 0}) {}
  int width() const { return w_; }
  int height() const { return h_; }

  // Blends `c` over pixel (x, y) with the given coverage (0..1).
  void blend(int x, int y, Colour c, float coverage) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_ || coverage <= 0) return;
    Colour& d = px_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)];
    const float sa = c.a * std::min(coverage, 1.0f);
    const float oa = sa + d.a * (1 - sa);
    if (oa <= 0) return;
    d.r = (c.r * sa + d.r * d.a * (1 - sa)) / oa;
    d.g = (c.g * sa + d.g * d.a * (1 - sa)) / oa;
    d.b = (c.b * sa + d.b * d.a * (1 - sa)) / oa;
    d.a = oa;
  }

  // Fills the points where `inside` holds, with a colour that may vary.
  void fill(const std::function<bool(float, float)>& inside, const std::function<Colour(float, float)>& paint,
            int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1) {
    if (x1 < 0) x1 = w_;
    if (y1 < 0) y1 = h_;
    for (int y = std::max(0, y0); y < std::min(h_, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(w_, x1); ++x) {
        int hits = 0;
        for (int sy = 0; sy < 4; ++sy)
          for (int sx = 0; sx < 4; ++sx)
            if (inside(static_cast<float>(x) + (static_cast<float>(sx) + 0.5f) / 4,
                       static_cast<float>(y) + (static_cast<float>(sy) + 0.5f) / 4))
              ++hits;
        if (hits) blend(x, y, paint(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f), static_cast<float>(hits) / 16);
      }
  }
  void fill(const std::function<bool(float, float)>& inside, Colour c) {
    fill(inside, [c](float, float) { return c; });
  }

  void rounded_rect(float x, float y, float w, float h, float radius, Colour c) {
    rounded_rect(x, y, w, h, radius, [c](float, float) { return c; });
  }
  void rounded_rect(float x, float y, float w, float h, float radius, const std::function<Colour(float, float)>& paint) {
    fill([=](float px, float py) { return inside_rounded(px, py, x, y, w, h, radius); }, paint,
         static_cast<int>(x) - 1, static_cast<int>(y) - 1, static_cast<int>(x + w) + 2, static_cast<int>(y + h) + 2);
  }
  void circle(float cx, float cy, float r, Colour c) {
    fill([=](float px, float py) { return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r; },
         [c](float, float) { return c; }, static_cast<int>(cx - r) - 1, static_cast<int>(cy - r) - 1,
         static_cast<int>(cx + r) + 2, static_cast<int>(cy + r) + 2);
  }
  // A convex or concave polygon, even-odd rule.
  void polygon(const std::vector<std::pair<float, float>>& pts, Colour c) {
    fill([&pts](float px, float py) { return inside_polygon(pts, px, py); }, c);
  }
  // A thick line segment with round ends.
  void line(float x0, float y0, float x1, float y1, float thickness, Colour c) {
    const float r = thickness / 2;
    fill(
        [=](float px, float py) {
          const float dx = x1 - x0, dy = y1 - y0;
          const float len2 = dx * dx + dy * dy;
          float t = len2 > 0 ? ((px - x0) * dx + (py - y0) * dy) / len2 : 0;
          t = std::clamp(t, 0.0f, 1.0f);
          const float qx = x0 + t * dx - px, qy = y0 + t * dy - py;
          return qx * qx + qy * qy <= r * r;
        },
        [c](float, float) { return c; });
  }

  // Straight RGBA bytes, row 0 on top.
  mxt::ImageBuffer image() const {
    mxt::ImageBuffer out;
    out.size_to(w_, h_);
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        const Colour& c = px_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)];
        uint8_t* p = out.pixel(x, y);
        p[0] = to_byte(c.r);
        p[1] = to_byte(c.g);
        p[2] = to_byte(c.b);
        p[3] = to_byte(c.a);
      }
    return out;
  }

  static bool inside_rounded(float px, float py, float x, float y, float w, float h, float r) {
    if (px < x || py < y || px > x + w || py > y + h) return false;
    const float cx = std::clamp(px, x + r, x + w - r), cy = std::clamp(py, y + r, y + h - r);
    return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r;
  }
  static bool inside_polygon(const std::vector<std::pair<float, float>>& pts, float px, float py) {
    bool in = false;
    for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
      const auto [xi, yi] = pts[i];
      const auto [xj, yj] = pts[j];
      if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi) in = !in;
    }
    return in;
  }

 private:
  static uint8_t to_byte(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); }
  int w_, h_;
  std::vector<Colour> px_;  // straight colour with alpha; starts fully transparent
};

}  // namespace mkmedia
