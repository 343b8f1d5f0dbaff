#include "preview/image.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <cmath>
#include <filesystem>

#include "format/output_file.h"

namespace preview {

Image::Image(int width, int height, Rgba fill)
    : width_(width), height_(height), pixels_(std::size_t(width) * std::size_t(height), fill) {}

void Image::Blend(int x, int y, Rgba c) {
    if (!Contains(x, y)) return;
    Rgba& p = At(x, y);
    const int a = c.a, keep = 255 - a;
    p.r = std::uint8_t((c.r * a + p.r * keep + 127) / 255);
    p.g = std::uint8_t((c.g * a + p.g * keep + 127) / 255);
    p.b = std::uint8_t((c.b * a + p.b * keep + 127) / 255);
    p.a = 255;
}

Rgba Image::Sample(float u, float v) const {
    if (pixels_.empty() || !std::isfinite(u) || !std::isfinite(v)) return {};
    const float x = (u - std::floor(u)) * float(width_) - 0.5f, y = (v - std::floor(v)) * float(height_) - 0.5f;
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    const float fx = x - float(x0), fy = y - float(y0);
    auto at = [&](int px, int py) { return At(((px % width_) + width_) % width_, ((py % height_) + height_) % height_); };
    const Rgba c[4] = {at(x0, y0), at(x0 + 1, y0), at(x0, y0 + 1), at(x0 + 1, y0 + 1)};
    auto mix = [&](std::uint8_t Rgba::*channel) {
        const float top = float(c[0].*channel) * (1 - fx) + float(c[1].*channel) * fx;
        const float bottom = float(c[2].*channel) * (1 - fx) + float(c[3].*channel) * fx;
        return std::uint8_t(std::lround(top * (1 - fy) + bottom * fy));
    };
    return {mix(&Rgba::r), mix(&Rgba::g), mix(&Rgba::b), mix(&Rgba::a)};
}

std::vector<std::uint8_t> EncodePng(const Image& image) {
    std::vector<std::uint8_t> bytes;
    stbi_write_png_to_func(
        [](void* context, void* data, int size) {
            auto* out = static_cast<std::vector<std::uint8_t>*>(context);
            const auto* d = static_cast<const std::uint8_t*>(data);
            out->insert(out->end(), d, d + size);
        },
        &bytes, image.Width(), image.Height(), 4, image.Pixels().data(), image.Width() * 4);
    return bytes;
}

bool WritePng(const Image& image, const std::string& path, std::string& error) {
    const std::vector<std::uint8_t> bytes = EncodePng(image);
    vlo::OutputFile out;
    if (bytes.empty()) {
        error = "the image could not be encoded";
        return false;
    }
    if (!(out.Open(path) && out.Write(bytes) && out.Finish() && out.Publish())) {
        error = out.Error();
        return false;
    }
    return true;
}

std::optional<Image> ReadImage(const std::string& path) {
    // Only a plain file is read: a pipe of the texture's name would wait for a writer for ever.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    int width = 0, height = 0, channels = 0;
    stbi_uc* data = stbi_load(path.c_str(), &width, &height, &channels, 4);
    if (!data) return std::nullopt;
    Image image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const stbi_uc* p = data + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
            image.At(x, y) = {p[0], p[1], p[2], p[3]};
        }
    stbi_image_free(data);
    return image;
}

}  // namespace preview
