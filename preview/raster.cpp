#include "preview/raster.h"

// The font's header defines functions this file does not use.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_easy_font.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <cmath>

namespace preview {
namespace {

Rect Clip(const Rect& r, const Image& image) {
    const int x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
    const int x1 = std::min(r.x + r.width, image.Width()), y1 = std::min(r.y + r.height, image.Height());
    return {x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
}

bool Inside(const Rect& r, int x, int y) { return x >= r.x && y >= r.y && x < r.x + r.width && y < r.y + r.height; }

Rgba Scale(Rgba c, float shade) {
    auto s = [&](std::uint8_t v) { return std::uint8_t(std::clamp(float(v) * shade, 0.0f, 255.0f)); };
    return {s(c.r), s(c.g), s(c.b), c.a};
}

}  // namespace

void Raster::ClearDepth(const Rect& r) {
    const Rect c = Clip(r, image_);
    for (int y = c.y; y < c.y + c.height; ++y)
    {
        const auto row = std::ptrdiff_t(std::size_t(y) * std::size_t(image_.Width()) + std::size_t(c.x));
        std::fill_n(depth_.begin() + row, c.width, 1e30f);
        std::fill_n(backPixel_.begin() + row, c.width, 0);
    }
}

bool Raster::Triangle(const ScreenVertex (&v)[3], const Fill& fill, const Rect& clipRect) {
    // Twice the signed area with y down: positive for corners turning clockwise on the picture.
    const float area = (v[1].x - v[0].x) * (v[2].y - v[0].y) - (v[1].y - v[0].y) * (v[2].x - v[0].x);
    if (!(std::fabs(area) > 1e-12f)) return false;
    const bool back = area < 0;
    const bool perspective = v[0].invW != 1 || v[1].invW != 1 || v[2].invW != 1;
    const Rect c = Clip(clipRect, image_);
    const int x0 = std::max(c.x, int(std::floor(std::min({v[0].x, v[1].x, v[2].x}))));
    const int x1 = std::min(c.x + c.width - 1, int(std::ceil(std::max({v[0].x, v[1].x, v[2].x}))));
    const int y0 = std::max(c.y, int(std::floor(std::min({v[0].y, v[1].y, v[2].y}))));
    const int y1 = std::min(c.y + c.height - 1, int(std::ceil(std::max({v[0].y, v[1].y, v[2].y}))));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            // Barycentric weights from the edge functions; a pixel centre on an edge belongs to one side.
            float w[3];
            for (int i = 0; i < 3; ++i) {
                const ScreenVertex& a = v[(i + 1) % 3];
                const ScreenVertex& b = v[(i + 2) % 3];
                w[i] = ((b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x)) / area;
            }
            if (w[0] < 0 || w[1] < 0 || w[2] < 0) continue;
            // Depth is linear across the picture in an orthographic view; in a perspective view 1 / depth
            // is, so the depth there comes from the interpolated 1 / w.
            const float invW = w[0] * v[0].invW + w[1] * v[1].invW + w[2] * v[2].invW;
            const float depth = perspective ? 1 / invW : w[0] * v[0].depth + w[1] * v[1].depth + w[2] * v[2].depth;
            const std::size_t at = std::size_t(y) * std::size_t(image_.Width()) + std::size_t(x);
            float& stored = depth_[at];
            // Two faces at the same depth (the two sides of a thin sheet): the one facing the camera wins.
            const float tie = 1e-5f * std::fabs(depth) + 1e-7f;
            const bool nearer = back ? depth < stored - tie : (depth < stored || (backPixel_[at] && depth <= stored + tie));
            if (!nearer) continue;
            stored = depth;
            backPixel_[at] = back;
            // Perspective-correct attributes: interpolate a / w and 1 / w, then divide.
            auto attribute = [&](float ScreenVertex::*field) {
                return (w[0] * v[0].*field * v[0].invW + w[1] * v[1].*field * v[1].invW + w[2] * v[2].*field * v[2].invW) /
                       invW;
            };
            const float shade = attribute(&ScreenVertex::shade);
            Rgba colour = fill.texture ? fill.texture->Sample(attribute(&ScreenVertex::u), attribute(&ScreenVertex::v))
                                       : fill.colour;
            colour.a = 255;
            colour = Scale(colour, shade);
            if (back) {
                // Seen from behind: red, with dark stripes across.
                colour = {std::uint8_t(std::min(255, colour.r / 3 + 170)), std::uint8_t(colour.g / 4), std::uint8_t(colour.b / 4), 255};
                if (((x + y) / 3) % 2 == 0) colour = Scale(colour, 0.55f);
            }
            image_.At(x, y) = colour;
        }
    return back;
}

void Raster::Line(float x0, float y0, float x1, float y1, Rgba colour, float width, const Rect& clipRect) {
    const Rect c = Clip(clipRect, image_);
    const float length = std::hypot(x1 - x0, y1 - y0);
    const int steps = std::max(1, int(std::ceil(length * 2)));
    for (int i = 0; i <= steps; ++i) {
        const float t = float(i) / float(steps);
        const float x = x0 + (x1 - x0) * t, y = y0 + (y1 - y0) * t;
        const int r = std::max(0, int(std::ceil(width / 2 - 0.5f)));
        for (int dy = -r; dy <= r; ++dy)
            for (int dx = -r; dx <= r; ++dx) {
                const int px = int(std::floor(x)) + dx, py = int(std::floor(y)) + dy;
                if (Inside(c, px, py)) image_.Blend(px, py, colour);
            }
    }
}

void Raster::Dot(float x, float y, float radius, Rgba colour, const Rect& clipRect) {
    const Rect c = Clip(clipRect, image_);
    for (int py = int(std::floor(y - radius)); py <= int(std::ceil(y + radius)); ++py)
        for (int px = int(std::floor(x - radius)); px <= int(std::ceil(x + radius)); ++px)
            if (std::hypot(float(px) + 0.5f - x, float(py) + 0.5f - y) <= radius && Inside(c, px, py))
                image_.Blend(px, py, colour);
}

void Raster::Cross(float x, float y, float size, Rgba colour, const Rect& clip) {
    Line(x - size, y - size, x + size, y + size, colour, 2, clip);
    Line(x - size, y + size, x + size, y - size, colour, 2, clip);
}

void Raster::FillRect(const Rect& r, Rgba colour) {
    const Rect c = Clip(r, image_);
    for (int y = c.y; y < c.y + c.height; ++y)
        for (int x = c.x; x < c.x + c.width; ++x) image_.Blend(x, y, colour);
}

int Raster::TextWidth(const std::string& text, int scale) {
    std::string copy = text;
    return stb_easy_font_width(copy.data()) * scale;
}

int Raster::Text(int x, int y, const std::string& text, Rgba colour, int scale) {
    // The font's quads (x, y, z as floats, then 4 colour bytes per corner), drawn as rectangles.
    struct Corner {
        float x, y, z;
        unsigned char rgba[4];
    };
    std::string copy;
    for (char ch : text) copy += (static_cast<unsigned char>(ch) < 32 || static_cast<unsigned char>(ch) > 126) ? '?' : ch;
    std::vector<Corner> quads(copy.size() * 70 + 4);
    const int count = stb_easy_font_print(0, 0, copy.data(), nullptr, quads.data(), int(quads.size() * sizeof(Corner)));
    for (int q = 0; q < count; ++q) {
        const Corner* c = &quads[std::size_t(q) * 4];
        const int left = x + int(c[0].x) * scale, top = y + int(c[0].y) * scale;
        FillRect({left, top, int(c[2].x - c[0].x) * scale, int(c[2].y - c[0].y) * scale}, colour);
    }
    return TextWidth(copy, scale);
}

}  // namespace preview
