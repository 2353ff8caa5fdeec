#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/assets/RefCounted.h"
#include "LOOM/math/Vector3.h"

// Points that particle emitters spread over.
class DistanceMap : public RefCounted
{
public:
    virtual uint32_t GetMemorySize() const { return static_cast<uint32_t>(12 * mPoints.size()); }
    virtual std::string GetTypeName() const { return {}; }
    virtual void Load(const std::string& fileName);

    std::vector<Vector3> mPoints;
};
