// Pictures: RGBA images in memory, written as PNG (whole or not at all) and read from the image
// files textures use (PNG, JPEG, TGA, BMP).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace preview {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba&) const = default;
};

class Image {
public:
    Image() = default;
    Image(int width, int height, Rgba fill = {});
    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    Rgba& At(int x, int y) { return pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)]; }
    const Rgba& At(int x, int y) const { return pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)]; }
    // Paints c over the pixel by its alpha; outside the image nothing happens.
    void Blend(int x, int y, Rgba c);
    // The colour at texture coordinates (u, v), wrapped, v = 0 at the image's top row; bilinear.
    Rgba Sample(float u, float v) const;
    const std::vector<Rgba>& Pixels() const { return pixels_; }

private:
    int width_ = 0, height_ = 0;
    std::vector<Rgba> pixels_;
};

// Writes image as a PNG file, whole or not at all; false with the reason when it cannot.
bool WritePng(const Image& image, const std::string& path, std::string& error);
// The PNG file's bytes.
std::vector<std::uint8_t> EncodePng(const Image& image);
// Reads an image file; nullopt when it cannot be read or decoded.
std::optional<Image> ReadImage(const std::string& path);

}  // namespace preview
