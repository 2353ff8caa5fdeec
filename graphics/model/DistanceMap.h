#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/math/Vector3.h"
#include "graphics/resource/Resource.h"

// Points that particle emitters spread over.
class DistanceMap : public Resource
{
public:
    uint32_t GetMemorySize() const override { return static_cast<uint32_t>(12 * mPoints.size()); }
    void Load(const std::string& fileName) override;

    std::vector<Vector3> mPoints;
};
