#pragma once
#include <cstdint>
#include <string>

#include "graphics/terrain/RequiredFields.h"

class Serializer;

// Computes the terrain's info texture from a greyscale height image: per texel the weights of
// the three layers (first byte rock, second grass, third dirt), written as a BMP.
class TerraTex
{
public:
    std::string mOutputFilename;
    int32_t mMapSize = 512;
    std::string mHeightMap;
    std::string mOutput;
    int32_t mOption = 0;
    float mWaterPlane = 0.0f;
    float mMiddlePlane = 0.0f;
    float mHighPlane = 0.0f;
    float mScaleFactor = 0.0f;
    float mNoiseFrequency = 0.0f;
    float mNoisePersis = 0.0f;

    void Serialize(Serializer& s);
    // Reads the settings; false, logged with the file and the first missing key, otherwise.
    bool Load(const std::string& fileName);
    // False, logged, with nothing written, when the settings or the image do not allow it.
    bool GenerateMap();
    // Turns (slope, grass, dirt) into the slope's smoothstep squared and the grass and dirt
    // shares of what is left.
    static void BlendWeights(float& a, float& b, float& c);

private:
    RequiredFields mRead;
};
