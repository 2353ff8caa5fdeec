#include "graphics/terrain/TerraTex.h"

#include <algorithm>
#include <cmath>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/XMLLoader.h"
#include "graphics/device/Image.h"
#include "graphics/terrain/ImageFile.h"
#include "graphics/terrain/Noise.h"

namespace {
constexpr int32_t kMaxMapSize = 4096;

bool Fail(const std::string& why)
{
    Console::Instance().Log("TerraTex: " + why + "; no info texture written", LogError);
    return false;
}
} // namespace

void TerraTex::Serialize(Serializer& s)
{
    mRead.Text(s, "OutputFilename", mOutputFilename);
    mRead.Int(s, "MapSize", mMapSize);
    mRead.Text(s, "HeightMap", mHeightMap);
    mRead.Text(s, "Output", mOutput);
    mRead.Int(s, "Option", mOption);
    mRead.Real(s, "WaterPlane", mWaterPlane);
    mRead.Real(s, "MiddlePlane", mMiddlePlane);
    mRead.Real(s, "HighPlane", mHighPlane);
    mRead.Real(s, "ScaleFactor", mScaleFactor);
    mRead.Real(s, "NoiseFrequency", mNoiseFrequency);
    mRead.Real(s, "NoisePersis", mNoisePersis);
}

bool TerraTex::Load(const std::string& fileName)
{
    mRead = RequiredFields();
    if (!FileExists(DataFilePath(fileName)))
        return Fail("settings file \"" + fileName + "\" not found");
    const bool good = XMLLoader::LoadObject(fileName, *this);
    if (!good)
        return Fail("settings file \"" + fileName + "\" lacks \"" + mRead.Missing() + "\" or cannot be read");
    return true;
}

void TerraTex::BlendWeights(float& a, float& b, float& c)
{
    const float sum = a + b + c;
    if (sum != 0.0f)
    {
        a /= sum;
        b /= sum;
        c /= sum;
    }
    float t = (c + b) != 0.0f ? b / (c + b) : 0.0f;
    if (t >= 0.7f)
        t = 1.0f;
    else if (t > 0.3f)
        t = (t - 0.3f) * 2.5f;
    else
        t = 0.0f;
    const float smooth = 3.0f * a * a - 2.0f * a * a * a;
    a = smooth * smooth;
    b = (1.0f - a) * t;
    c = (1.0f - a) - b;
}

bool TerraTex::GenerateMap()
{
    const float W = mWaterPlane, M = mMiddlePlane, H = mHighPlane, S = mScaleFactor;
    if (!(std::isfinite(W) && std::isfinite(M) && std::isfinite(H) && std::isfinite(S) &&
          std::isfinite(mNoiseFrequency) && std::isfinite(mNoisePersis)))
        return Fail("a setting is not a number");
    if (!(M > W))
        return Fail("MiddlePlane is not above WaterPlane");
    if (!(H > M))
        return Fail("HighPlane is not above MiddlePlane");
    if (!(H > 0.0f))
        return Fail("HighPlane is not above 0");
    if (mMapSize < 1 || mMapSize > kMaxMapSize)
        return Fail("MapSize " + std::to_string(mMapSize) + " is outside 1 to " + std::to_string(kMaxMapSize));
    if (mOutputFilename.empty())
        return Fail("OutputFilename is empty");
    // The settings file names where the map goes: never outside the data folder.
    std::string outputPath;
    if (!DataPathInside(mOutputFilename, outputPath))
        return false;
    Image source;
    std::string error;
    if (!LoadImageFile(mHeightMap, source, error))
        return Fail("height image \"" + mHeightMap + "\" " + error);
    const uint32_t N = uint32_t(mMapSize);
    const Image heights = source.Resampled(N, N);
    Image output;
    output.Allocate(N, N, Image::Format::BGR8);

    const float half = (M - W) * 0.5f;
    const float lowTop = W + 0.25f * half;
    const float lowCut = W - 0.75f * half;
    const float range = H - M;
    const float noiseScale = 1.3f / NoiseAmplitudeSum(mNoisePersis, mNoiseFrequency);
    auto height = [&](int32_t x, int32_t y) { return float(heights.Pixel(uint32_t(x), uint32_t(y))[0]) * S; };
    const int32_t n = int32_t(N);
    for (int32_t y = 0; y < n; ++y)
    {
        for (int32_t x = 0; x < n; ++x)
        {
            uint8_t* out = output.Pixel(uint32_t(x), uint32_t(y));
            const float h = height(x, y);
            if (h > H || h < lowCut)
            {
                out[0] = 255;
                out[1] = 0;
                out[2] = 0;
                continue;
            }
            float g = FractalNoise2D(mNoisePersis, mNoiseFrequency, float(N), float(x), float(y)) * noiseScale + 0.5f;
            float d = 1.0f - g;
            static constexpr struct
            {
                int dx, dy;
                float weight;
            } kNeighbours[] = {{-1, 0, 1.0f}, {0, -1, 1.0f}, {1, 0, 1.0f}, {0, 1, 1.0f}, {-1, 1, 0.5f}, {1, -1, 0.5f}};
            float s = 0.0f;
            for (const auto& nb : kNeighbours)
            {
                const int32_t nx = x + nb.dx, ny = y + nb.dy;
                if (nx >= 0 && ny >= 0 && nx < n && ny < n)
                    s += std::fabs(h - height(nx, ny)) * nb.weight;
            }
            s /= H;
            BlendWeights(s, g, d);
            float b = 0.0f;
            if (h < lowTop)
                b = (lowTop - h) / half;
            else if (h > M)
                b = (h - M) / range;
            b = std::max(b, s);
            const int32_t first = int32_t(std::clamp(255.0f * b, 0.0f, 255.0f));
            const float share = (d + g + b) != 0.0f ? (1.0f - b) * g / (d + g + b) : 0.0f;
            const int32_t second = std::clamp(int32_t(std::clamp(255.0f * share, 0.0f, 255.0f)), 0, 255 - first);
            out[0] = uint8_t(first);
            out[1] = uint8_t(second);
            out[2] = uint8_t(255 - first - second);
        }
    }
    std::string why;
    if (!output.SaveBmp(outputPath, &why))
        return Fail("\"" + mOutputFilename + "\" cannot be written: " + why);
    return true;
}
