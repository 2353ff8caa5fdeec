#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "LOOM/math/Vector3.h"

class GraphicsDevice;
class Shader;
class VertexLayout;

// One beam between two world points.
struct BeamRecord
{
    uint32_t mSource = 0;
    float mAge = 0.0f;
    float mLifetime = 0.0f;
    Vector3 mStart;
    Vector3 mEnd;
    float mWidth = 0.0f;
    int32_t mSegments = 0;
    float mLength = 0.0f;
    float mSegmentLength = 0.0f;
    float mNoiseSpeed = 0.0f;
    float mNoiseAmplitude = 0.0f;
    Vector3 mSide;
    Vector3 mUp;
    Vector3 mDirection;
    float mMoving = 0.0f;
    float mPhase = 0.0f;
    int32_t mKind = 0;
};

// Lasers, bolts and blasts: chains of camera-facing quads, each drawn at once from memory
// through the device's streaming buffer. Beams die when their time is over or their source cog is gone.
class BeamRenderer
{
public:
    // 4 vertices of position and texture coordinates.
    struct Vertex
    {
        float mX, mY, mZ, mU, mV;
    };
    static_assert(sizeof(Vertex) == 20);
    using NoiseFunction = float (*)(float);

    BeamRenderer();
    ~BeamRenderer();
    BeamRenderer(const BeamRenderer&) = delete;
    BeamRenderer& operator=(const BeamRenderer&) = delete;

    void CreateVertexBuffer(GraphicsDevice& device);
    void ReleaseVertexBuffer();
    // Null (logged) when start and end coincide or there is no segment.
    BeamRecord* AddBeam(uint32_t source, float lifetime, const Vector3& start, const Vector3& end, float width,
                        float amplitude, int32_t segments, float noiseSpeed, int32_t kind);
    void AddMovingBeam(uint32_t source, float lifetime, const Vector3& start, const Vector3& end, float width,
                       float amplitude, int32_t segments, float noiseSpeed, float moving, int32_t kind);
    // Draws and ages every beam, seen from the eye, with the "Quad" shader; without a shader
    // or device objects the beams still age and die.
    void Render(GraphicsDevice& device, float frameTime, const Vector3& eye, Shader* shader);

    size_t GetBeamCount() const { return mBeams.size(); }
    const BeamRecord& GetBeam(size_t i) const { return *mBeams[i]; }
    // The value noise that bends kinds 1 and 2 (Noise1D unless set).
    static void SetNoise(NoiseFunction noise) { sNoise = noise; }
    static NoiseFunction GetNoise() { return sNoise; }

    // Half-width at a joint: a mitre whose stretch is capped at 5 widths.
    static float JointHalfWidth(float width, const Vector3& jointSide, const Vector3& side);
    static constexpr float kMinJointDot = 0.2f;

private:
    void BuildPoints(const BeamRecord& beam);
    void WriteQuad(const Vector3& a0, const Vector3& a1, const Vector3& b0, const Vector3& b1);

    std::unique_ptr<VertexLayout> mLayout;
    Vertex mQuad[4] = {};
    std::vector<std::unique_ptr<BeamRecord>> mBeams;
    // Reused across beams within a frame.
    std::vector<Vector3> mPoints;
    std::vector<Vector3> mSides;
    static NoiseFunction sNoise;
};
