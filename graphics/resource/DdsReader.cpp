#include "graphics/resource/DdsReader.h"

#include <algorithm>

#include "platform/ImageDecode.h"

namespace {

constexpr uint32_t kMagic = 0x20534444; // "DDS "
constexpr uint32_t kHeaderSize = 124;
constexpr uint32_t kPixelFormatSize = 32;
constexpr uint32_t kFlagMipCount = 0x20000;
constexpr uint32_t kPfAlphaPixels = 0x1;
constexpr uint32_t kPfFourCC = 0x4;
constexpr uint32_t kPfRgb = 0x40;
constexpr uint32_t kCaps2Cube = 0x200;
constexpr uint32_t kCaps2AllFaces = 0xFC00;
constexpr uint32_t kMaxSize = 16384;

constexpr uint32_t FourCC(char a, char b, char c, char d)
{
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

struct Cursor
{
    const uint8_t* mBytes;
    size_t mSize;
    size_t mPos = 0;

    bool U32(uint32_t& out)
    {
        if (mSize - mPos < 4)
            return false;
        const uint8_t* p = mBytes + mPos;
        out = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        mPos += 4;
        return true;
    }
};

void Put32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(char(uint8_t(v >> (8 * i))));
}

// The header fields after the magic: 0 size, 1 flags, 2 height, 3 width, 4 pitch, 5 depth,
// 6 mip count, 7..17 reserved, 18 pixel format size, 19 flags, 20 fourCC, 21 bit count,
// 22..25 masks r g b a, 26 caps, 27 caps2.
using Header = uint32_t[31];

// What the header says about the texels that follow it.
struct Layout
{
    uint32_t mWidth = 0;
    uint32_t mHeight = 0;
    uint32_t mLevels = 1;
    uint32_t mFaces = 1;
    TextureFormat mFormat = TextureFormat::RGBA8;
    // Stored B G R A: swapped to R G B A, with alpha forced to 255 when opaque.
    bool mSwizzle = false;
    bool mOpaque = false;
};

std::string ReadHeader(Cursor& c, Header& header)
{
    uint32_t magic = 0;
    if (!c.U32(magic) || magic != kMagic)
        return "not a DDS file";
    for (uint32_t& field : header)
        if (!c.U32(field))
            return "the header is cut short";
    if (header[0] != kHeaderSize || header[18] != kPixelFormatSize)
        return "the header sizes are wrong";
    return {};
}

std::string ReadSize(const Header& header, Layout& layout)
{
    const uint32_t height = header[2], width = header[3];
    if (width == 0 || height == 0 || width > kMaxSize || height > kMaxSize)
        return "the size " + std::to_string(width) + "x" + std::to_string(height) + " is out of range";
    layout.mWidth = width;
    layout.mHeight = height;
    layout.mLevels = (header[1] & kFlagMipCount) ? std::max(header[6], 1u) : 1;
    if (layout.mLevels > FullMipCount(width, height))
        return "more mip levels than the size allows";
    return {};
}

std::string ReadPixelFormat(const Header& header, Layout& layout)
{
    const uint32_t pfFlags = header[19], fourCC = header[20], bits = header[21];
    if (pfFlags & kPfFourCC)
    {
        if (fourCC == FourCC('D', 'X', 'T', '1'))
            layout.mFormat = TextureFormat::DXT1;
        else if (fourCC == FourCC('D', 'X', 'T', '3'))
            layout.mFormat = TextureFormat::DXT3;
        else if (fourCC == FourCC('D', 'X', 'T', '5'))
            layout.mFormat = TextureFormat::DXT5;
        else
            return "unsupported compression";
        return {};
    }
    if ((pfFlags & kPfRgb) && bits == 32 && header[22] == 0x00FF0000 && header[23] == 0x0000FF00 &&
        header[24] == 0x000000FF)
    {
        layout.mFormat = TextureFormat::RGBA8;
        layout.mSwizzle = true;
        layout.mOpaque = !(pfFlags & kPfAlphaPixels) || header[25] != 0xFF000000;
        return {};
    }
    return "unsupported pixel format";
}

std::string ReadFaces(const Header& header, Layout& layout)
{
    const uint32_t caps2 = header[27];
    const bool cube = (caps2 & kCaps2Cube) != 0;
    if (cube && ((caps2 & kCaps2AllFaces) != kCaps2AllFaces || layout.mWidth != layout.mHeight))
        return "a cube map needs six square faces";
    layout.mFaces = cube ? 6 : 1;
    return ImageCapError(layout.mWidth, layout.mHeight,
                         DecodedImageBytes(layout.mWidth, layout.mHeight, 4, layout.mLevels > 1, layout.mFaces));
}

size_t LevelBytes(const Layout& layout, uint32_t level)
{
    return TextureLevelSize(layout.mFormat, std::max(layout.mWidth >> level, 1u),
                            std::max(layout.mHeight >> level, 1u));
}

std::string CheckDataLength(const Layout& layout, size_t left)
{
    size_t dataBytes = 0;
    for (uint32_t level = 0; level < layout.mLevels; ++level)
        dataBytes += LevelBytes(layout, level);
    dataBytes *= layout.mFaces;
    if (left < dataBytes)
        return "the data is cut short: " + std::to_string(dataBytes) + " bytes named, " + std::to_string(left) +
            " there";
    if (left > dataBytes)
    {
        // Trailing bytes are no part of any level: the file is not what its header says.
        return std::to_string(left - dataBytes) + " bytes follow the data its header names";
    }
    return {};
}

// The data has been checked to hold every level of every face.
void CopyLevels(const uint8_t* data, const Layout& layout, TextureData& out)
{
    out = TextureData{};
    out.mKind = layout.mFaces == 6 ? TextureKind::Cube : TextureKind::Tex2D;
    out.mFormat = layout.mFormat;
    out.mWidth = layout.mWidth;
    out.mHeight = layout.mHeight;
    out.mLevels = layout.mLevels;
    out.mLevelData.resize(size_t(layout.mFaces) * layout.mLevels);
    for (uint32_t face = 0; face < layout.mFaces; ++face)
        for (uint32_t level = 0; level < layout.mLevels; ++level)
        {
            const size_t bytesNeeded = LevelBytes(layout, level);
            std::vector<uint8_t>& dst = out.Level(face, level);
            dst.assign(data, data + bytesNeeded);
            data += bytesNeeded;
            if (layout.mSwizzle)
                for (size_t i = 0; i < dst.size(); i += 4)
                {
                    std::swap(dst[i], dst[i + 2]); // B G R A in memory to R G B A
                    if (layout.mOpaque)
                        dst[i + 3] = 255;
                }
        }
}

} // namespace

bool DdsReader::IsDds(const uint8_t* bytes, size_t size)
{
    return size >= 4 && bytes[0] == 'D' && bytes[1] == 'D' && bytes[2] == 'S' && bytes[3] == ' ';
}

bool DdsReader::Read(const uint8_t* bytes, size_t size, TextureData& out, std::string& error)
{
    Cursor c{bytes, size};
    Header header;
    Layout layout;
    std::string why = ReadHeader(c, header);
    if (why.empty())
        why = ReadSize(header, layout);
    if (why.empty())
        why = ReadPixelFormat(header, layout);
    if (why.empty())
        why = ReadFaces(header, layout);
    if (why.empty())
        why = CheckDataLength(layout, size - c.mPos);
    if (!why.empty())
    {
        error = why;
        return false;
    }
    CopyLevels(bytes + c.mPos, layout, out);
    return true;
}

std::string DdsWriter::Write(const TextureData& data, bool noAlpha)
{
    std::string out;
    Put32(out, kMagic);
    Put32(out, kHeaderSize);
    const bool compressed = data.mFormat != TextureFormat::RGBA8;
    Put32(out, 0x1 | 0x2 | 0x4 | 0x1000 | (data.mLevels > 1 ? kFlagMipCount : 0) | (compressed ? 0x80000 : 0x8));
    Put32(out, data.mHeight);
    Put32(out, data.mWidth);
    Put32(out, compressed ? uint32_t(TextureLevelSize(data.mFormat, data.mWidth, data.mHeight)) : data.mWidth * 4);
    Put32(out, 0);
    Put32(out, data.mLevels);
    for (int i = 0; i < 11; ++i)
        Put32(out, 0);
    Put32(out, kPixelFormatSize);
    if (compressed)
    {
        Put32(out, kPfFourCC);
        Put32(out,
              data.mFormat == TextureFormat::DXT1       ? FourCC('D', 'X', 'T', '1')
                  : data.mFormat == TextureFormat::DXT3 ? FourCC('D', 'X', 'T', '3')
                                                        : FourCC('D', 'X', 'T', '5'));
        for (int i = 0; i < 5; ++i)
            Put32(out, 0);
    }
    else
    {
        Put32(out, kPfRgb | (noAlpha ? 0 : kPfAlphaPixels));
        Put32(out, 0);
        Put32(out, 32);
        Put32(out, 0x00FF0000);
        Put32(out, 0x0000FF00);
        Put32(out, 0x000000FF);
        Put32(out, noAlpha ? 0 : 0xFF000000);
    }
    const bool cube = data.mKind == TextureKind::Cube;
    Put32(out, 0x1000 | (data.mLevels > 1 ? 0x400008 : 0) | (cube ? 0x8 : 0));
    Put32(out, cube ? kCaps2Cube | kCaps2AllFaces : 0);
    for (int i = 0; i < 3; ++i)
        Put32(out, 0);
    for (uint32_t face = 0; face < data.Faces(); ++face)
        for (uint32_t level = 0; level < data.mLevels; ++level)
        {
            const std::vector<uint8_t>& bytes = data.Level(face, level);
            if (compressed)
                out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            else
                for (size_t i = 0; i + 3 < bytes.size(); i += 4)
                {
                    out.push_back(char(bytes[i + 2]));
                    out.push_back(char(bytes[i + 1]));
                    out.push_back(char(bytes[i]));
                    out.push_back(char(noAlpha ? 0 : bytes[i + 3]));
                }
        }
    return out;
}
