#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/math/Vector3.h"
#include "graphics/resource/Resource.h"

// One control point of a path with its tangent and where it sits along the path.
struct PathPoint
{
    Vector3 mPosition;
    Vector3 mTangent;
    // Path length before this point.
    float mStart = 0.0f;
    // Chord length to the next point; 0 for the last.
    float mLength = 0.0f;
};
static_assert(sizeof(PathPoint) == 32);

// A cubic Hermite curve through control points, measured by chord lengths. Held by the
// loom's path store; "circle" and "circleback" are built in, other names are point files.
class Path : public Resource
{
public:
    Path();
    void Load(const std::string& name) override;
    std::string GetTypeName() const override { return "Path"; }

    void AddPoint(const Vector3& position);
    void Build();
    // d is clamped to [0, total length]; an empty path gives the origin.
    Vector3 PointAtDistance(float d) const;
    Vector3 PointAtFraction(float t) const;

    uint32_t GetPointCount() const { return mPointCount; }
    float GetTotalLength() const { return mTotalLength; }
    const std::vector<PathPoint>& GetPoints() const { return mPoints; }
    bool IsSmooth() const { return mSmooth; }
    void SetSmooth(bool smooth) { mSmooth = smooth; }
    // Cleared when points change, set by Build.
    bool IsReady() const { return mReady; }
    void ClearReady() { mReady = false; }

    // Reads a point file held in memory: a uint32 count, then count x, y, z floats. False
    // (the path left empty) when the buffer is shorter than its count says.
    bool ReadPoints(const std::string& bytes);
    void Clear();

private:
    Vector3 StartCondition(uint32_t i, const std::vector<Vector3>& tangents) const;
    Vector3 EndCondition(uint32_t i, const std::vector<Vector3>& tangents) const;
    Vector3 SegmentPoint(uint32_t i, float s) const;

    bool mSmooth = false;
    bool mReady = false;
    uint32_t mPointCount = 0;
    float mTotalLength = 0.0f;
    std::vector<PathPoint> mPoints;
};
