// Writes the splash picture: a dusk sky over dark ground with a defence tower standing
// against it, as a 24-bit BMP. Usage: make_splash [output path]
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {
constexpr int32_t kWidth = 256;
constexpr int32_t kHeight = 265;

struct Rgb
{
    uint8_t r, g, b;
};

class Image
{
public:
    Image(int32_t width, int32_t height) : mWidth(width), mHeight(height), mPixels(size_t(width) * height) {}
    int32_t Width() const { return mWidth; }
    int32_t Height() const { return mHeight; }
    void Set(int32_t x, int32_t y, Rgb colour)
    {
        if (x >= 0 && y >= 0 && x < mWidth && y < mHeight)
            mPixels[size_t(y) * mWidth + x] = colour;
    }
    Rgb Get(int32_t x, int32_t y) const { return mPixels[size_t(y) * mWidth + x]; }
    void FillRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Rgb colour)
    {
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x)
                Set(x, y, colour);
    }

private:
    int32_t mWidth;
    int32_t mHeight;
    std::vector<Rgb> mPixels;
};

void Put16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(uint8_t(value >> shift));
}

// Uncompressed 24-bit BMP, rows bottom-up, each padded to four bytes.
std::vector<uint8_t> EncodeBmp(const Image& image)
{
    const uint32_t rowBytes = (uint32_t(image.Width()) * 3 + 3) & ~3u;
    const uint32_t pixelBytes = rowBytes * uint32_t(image.Height());
    const uint32_t headerBytes = 14 + 40;
    std::vector<uint8_t> out;
    out.reserve(headerBytes + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, headerBytes + pixelBytes);
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, headerBytes);
    Put32(out, 40);
    Put32(out, uint32_t(image.Width()));
    Put32(out, uint32_t(image.Height()));
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, pixelBytes);
    Put32(out, 2835); // 72 dpi
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int32_t y = image.Height() - 1; y >= 0; --y)
    {
        for (int32_t x = 0; x < image.Width(); ++x)
        {
            const Rgb p = image.Get(x, y);
            out.push_back(p.b);
            out.push_back(p.g);
            out.push_back(p.r);
        }
        for (uint32_t pad = uint32_t(image.Width()) * 3; pad < rowBytes; ++pad)
            out.push_back(0);
    }
    return out;
}

uint8_t Mix(uint8_t a, uint8_t b, float t) { return uint8_t(std::lround(a + (b - a) * t)); }

Image DrawSplash()
{
    Image image(kWidth, kHeight);
    const int32_t horizon = 200;
    const Rgb top{12, 16, 48};
    const Rgb low{230, 120, 50};
    for (int32_t y = 0; y < horizon; ++y)
    {
        const float t = float(y) / float(horizon - 1);
        image.FillRect(0, y, kWidth, y + 1, {Mix(top.r, low.r, t), Mix(top.g, low.g, t), Mix(top.b, low.b, t)});
    }
    // A few fixed stars in the dark part of the sky.
    const int32_t stars[][2] = {{20, 14}, {57, 40}, {90, 9}, {140, 30}, {183, 18}, {230, 44}, {205, 70}, {35, 75}};
    for (const auto& star : stars)
        image.Set(star[0], star[1], {240, 240, 220});
    image.FillRect(0, horizon, kWidth, kHeight, {24, 20, 18});

    const Rgb tower{8, 8, 12};
    // Shaft widening toward its foot.
    const int32_t centre = 128;
    const int32_t shaftTop = 90;
    for (int32_t y = shaftTop; y < horizon + 4; ++y)
    {
        const int32_t half = 14 + (y - shaftTop) / 8;
        image.FillRect(centre - half, y, centre + half, y + 1, tower);
    }
    // Battlement with crenels.
    image.FillRect(centre - 24, 72, centre + 24, shaftTop, tower);
    for (int32_t x = centre - 24; x < centre + 24; x += 12)
        image.FillRect(x, 62, x + 7, 72, tower);
    // Mast and a lit window.
    image.FillRect(centre - 1, 36, centre + 1, 62, tower);
    image.FillRect(centre - 4, 110, centre + 4, 122, {250, 200, 90});
    return image;
}
} // namespace

int main(int argc, char** argv)
{
    const std::string path = argc > 1 ? argv[1] : "data/InvaderLoading.bmp";
    const std::vector<uint8_t> bytes = EncodeBmp(DrawSplash());
    std::ofstream file(path, std::ios::binary);
    if (!file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size())))
    {
        std::fprintf(stderr, "make_splash: cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("make_splash: wrote %s (%dx%d)\n", path.c_str(), kWidth, kHeight);
    return 0;
}
