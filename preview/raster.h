// A small software rasteriser for the preview sheets: triangles with a depth buffer, perspective-
// correct texture coordinates and per-vertex shading, back faces marked; lines, dots, crosses and
// text drawn over the picture.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "preview/image.h"

namespace preview {

// A rectangle of the picture, in pixels.
struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

// A triangle corner after projection: x right and y down in pixels, depth (smaller is nearer) and
// the reciprocal of its clip w (1 for an orthographic view), texture coordinates and a shade.
struct ScreenVertex {
    float x = 0, y = 0, depth = 0, invW = 1;
    float u = 0, v = 0;
    float shade = 1;
};

// How a triangle is filled: a colour, or a texture (sampled at the interpolated coordinates) times
// the shade. A triangle seen from behind (its corners turn counter-clockwise on the picture, which
// the files' front faces never do) is tinted and hatched.
struct Fill {
    Rgba colour{200, 200, 200, 255};
    const Image* texture = nullptr;
};

class Raster {
public:
    explicit Raster(Image& image)
        : image_(image),
          depth_(std::size_t(image.Width()) * std::size_t(image.Height()), 1e30f),
          backPixel_(depth_.size(), 0) {}

    // Clears the depth of a rectangle (a panel starts empty of depth).
    void ClearDepth(const Rect& r);
    // Fills the triangle inside clip, nearer than what is there. Returns whether it faced away.
    bool Triangle(const ScreenVertex (&v)[3], const Fill& fill, const Rect& clip);

    // Overlays, drawn over everything inside clip.
    void Line(float x0, float y0, float x1, float y1, Rgba colour, float width, const Rect& clip);
    void Dot(float x, float y, float radius, Rgba colour, const Rect& clip);
    void Cross(float x, float y, float size, Rgba colour, const Rect& clip);
    void FillRect(const Rect& r, Rgba colour);
    // Text with its top-left corner at (x, y), scale x 7 pixels tall; returns its width.
    int Text(int x, int y, const std::string& text, Rgba colour, int scale = 1);
    static int TextWidth(const std::string& text, int scale = 1);

    // Pixels that show a triangle seen from behind.
    std::size_t BackPixels() const { return std::size_t(std::count(backPixel_.begin(), backPixel_.end(), 1)); }

private:
    Image& image_;
    std::vector<float> depth_;
    std::vector<char> backPixel_;  // the pixel shows a triangle seen from behind
};

}  // namespace preview
