#include "graphics/scene/path/Path.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"

namespace {

constexpr float kPi = 3.14159265358979323846f;
constexpr uint32_t kReserved = 100;
constexpr int kSmoothingPasses = 3;

void AddCircle(Path& path, float phase)
{
    for (int i = 0; i <= 40; ++i)
    {
        const float theta = 2.0f * kPi * 0.025f * static_cast<float>(i) + phase;
        path.AddPoint(Vector3(0.0f, 10.0f * std::cos(theta), 10.0f * std::sin(theta)));
    }
}

// Hermite basis applied to two points and two tangents.
Vector3 Hermite(const Vector3& p0, const Vector3& p1, const Vector3& t0, const Vector3& t1, float s)
{
    const float s2 = s * s;
    const float s3 = s2 * s;
    const float h0 = 2.0f * s3 - 3.0f * s2 + 1.0f;
    const float h1 = -2.0f * s3 + 3.0f * s2;
    const float h2 = s3 - 2.0f * s2 + s;
    const float h3 = s3 - s2;
    return p0 * h0 + p1 * h1 + t0 * h2 + t1 * h3;
}

} // namespace

Path::Path() { mPoints.reserve(kReserved); }

void Path::Clear()
{
    mPoints.clear();
    mPointCount = 0;
    mTotalLength = 0.0f;
    mReady = false;
}

void Path::Load(const std::string& name)
{
    Clear();
    if (name == "circle" || name == "circleback")
    {
        mSmooth = true;
        AddCircle(*this, name == "circle" ? 0.0f : kPi);
    }
    else
    {
        Console::Instance().Log("Loading Path " + name, LogLoading);
        std::string bytes;
        if (!ReadWholeFile(DataFilePath(name), bytes))
            Console::Instance().Log("Path " + name + ": cannot read the file", LogError);
        else if (!ReadPoints(bytes))
            Console::Instance().Log("Path " + name + ": the file is shorter than its point count", LogError);
    }
    Build();
}

bool Path::ReadPoints(const std::string& bytes)
{
    Clear();
    if (bytes.size() < 4)
        return false;
    uint32_t count = 0;
    std::memcpy(&count, bytes.data(), 4);
    const uint64_t needed = 4ull + 12ull * count;
    if (bytes.size() < needed)
        return false;
    size_t cursor = 4;
    for (uint32_t i = 0; i < count; ++i)
    {
        float xyz[3];
        std::memcpy(xyz, bytes.data() + cursor, sizeof(xyz));
        cursor += sizeof(xyz);
        AddPoint(Vector3(xyz[0], xyz[1], xyz[2]));
    }
    return true;
}

void Path::AddPoint(const Vector3& position)
{
    if (!mPoints.empty())
    {
        PathPoint& last = mPoints.back();
        last.mLength = (position - last.mPosition).Length();
        mTotalLength += last.mLength;
    }
    PathPoint point;
    point.mPosition = position;
    point.mStart = mTotalLength;
    mPoints.push_back(point);
    ++mPointCount;
    mReady = false;
}

// Chord terms of a zero-length segment are left out rather than divided by zero.
Vector3 Path::StartCondition(uint32_t i, const std::vector<Vector3>& tangents) const
{
    const float len = mPoints[i].mLength;
    const Vector3 chord = len > 0.0f ? (mPoints[i + 1].mPosition - mPoints[i].mPosition) * (3.0f / len) : Vector3();
    return (chord - tangents[i + 1]) * 0.5f;
}

Vector3 Path::EndCondition(uint32_t i, const std::vector<Vector3>& tangents) const
{
    const float len = mPoints[i - 1].mLength;
    const Vector3 chord = len > 0.0f ? (mPoints[i].mPosition - mPoints[i - 1].mPosition) * (3.0f / len) : Vector3();
    return (chord - tangents[i - 1]) * 0.5f;
}

void Path::Build()
{
    const uint32_t n = static_cast<uint32_t>(mPoints.size());
    std::vector<Vector3> t(n);
    if (n >= 2)
    {
        for (uint32_t i = 1; i + 1 < n; ++i)
        {
            const Vector3 ahead = (mPoints[i + 1].mPosition - mPoints[i].mPosition).Normalized();
            const Vector3 behind = (mPoints[i - 1].mPosition - mPoints[i].mPosition).Normalized();
            t[i] = (ahead - behind).Normalized();
        }
        t[0] = StartCondition(0, t);
        t[n - 1] = EndCondition(n - 1, t);
        if (mSmooth)
        {
            std::vector<Vector3> next(n);
            for (int pass = 0; pass < kSmoothingPasses; ++pass)
            {
                next[0] = StartCondition(0, t);
                for (uint32_t i = 1; i + 1 < n; ++i)
                {
                    const float before = mPoints[i - 1].mLength;
                    const float after = mPoints[i].mLength;
                    const float sum = before + after;
                    next[i] =
                        sum > 0.0f ? (StartCondition(i, t) * before + EndCondition(i, t) * after) * (1.0f / sum) : t[i];
                }
                next[n - 1] = EndCondition(n - 1, t);
                t.swap(next);
            }
        }
    }
    for (uint32_t i = 0; i < n; ++i)
        mPoints[i].mTangent = t[i];
    mReady = true;
}

Vector3 Path::SegmentPoint(uint32_t i, float s) const
{
    const PathPoint& a = mPoints[i];
    const PathPoint& b = mPoints[i + 1];
    return Hermite(a.mPosition, b.mPosition, a.mTangent * a.mLength, b.mTangent * a.mLength, s);
}

Vector3 Path::PointAtDistance(float d) const
{
    const uint32_t n = static_cast<uint32_t>(mPoints.size());
    if (n == 0)
        return Vector3();
    if (n == 1)
        return mPoints[0].mPosition;
    d = std::clamp(d, 0.0f, mTotalLength);
    // The last segment whose start is at or before d: start <= d < next start.
    uint32_t lo = 0;
    uint32_t hi = n - 2;
    while (lo < hi)
    {
        const uint32_t mid = lo + (hi - lo + 1) / 2;
        if (mPoints[mid].mStart <= d)
            lo = mid;
        else
            hi = mid - 1;
    }
    const float len = mPoints[lo].mLength;
    const float s = len > 0.0f ? std::min((d - mPoints[lo].mStart) / len, 1.0f) : 0.0f;
    return SegmentPoint(lo, s);
}

Vector3 Path::PointAtFraction(float t) const { return PointAtDistance(std::clamp(t, 0.0f, 1.0f) * mTotalLength); }
