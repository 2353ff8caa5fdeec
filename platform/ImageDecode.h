#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The default cap on a decoded picture: pixels x bytes per pixel, mip levels and faces included.
constexpr uint64_t kDefaultMaxImageBytes = uint64_t(64) << 20;
// The cap every image reader checks before it decodes (Graphics.xml sets it at start).
uint64_t MaxImageBytes();
void SetMaxImageBytes(uint64_t bytes);

// Bytes of a picture of this shape decoded, with the whole mip chain when mips.
uint64_t DecodedImageBytes(uint32_t width, uint32_t height, uint32_t bytesPerPixel, bool mips, uint32_t faces = 1);
// "16384x16384 decodes to 1365 MiB, above the 64 MiB cap" when the shape is above the cap, else empty.
std::string ImageCapError(uint32_t width, uint32_t height, uint64_t decodedBytes);

// Decodes a BMP, PNG, TGA or JPEG file held in memory into channels bytes a pixel, top row first.
// The header is checked before anything is decoded: the decoded size (with the mip chain when mips)
// must stay under MaxImageBytes(), and a BMP or TGA must hold all the pixel data its header names.
// False with the reason in error.
bool DecodeImage(const std::string& bytes, int channels, bool mips, uint32_t& width, uint32_t& height,
                 std::vector<uint8_t>& pixels, std::string& error);
