#include "graphics/particles/BeamRenderer.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Random.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/effect/Shader.h"
#include "graphics/particles/ParticleMath.h"
#include "graphics/resource/ResourceContext.h"
#include "graphics/resource/Texture.h"
#include "graphics/terrain/Noise.h"

namespace {

// Names built once: a frame looks textures up without making strings.
const std::string kBlueGlow = "Textures/BlueGlow.dds";
const std::string kSpike = "Textures/spike.dds";
const std::string kLaserBlast = "Textures/LaserBlast.dds";
const std::string kRedBeam = "Textures/RedBeam.dds";

const std::string& SegmentTexture(int32_t kind, bool last)
{
    switch (kind)
    {
    case 2:
        return last ? kSpike : kBlueGlow;
    case 3:
        return kLaserBlast;
    case 4:
        return kRedBeam;
    default:
        return kBlueGlow;
    }
}

Vector3 Cross(const Vector3& a, const Vector3& b)
{
    Vector3 out;
    CrossProduct(a, b, out);
    return out;
}

} // namespace

BeamRenderer::NoiseFunction BeamRenderer::sNoise = &Noise1D;

BeamRenderer::BeamRenderer()
{
    mPoints.reserve(26);
    mSides.reserve(26);
}

BeamRenderer::~BeamRenderer() = default;

void BeamRenderer::CreateVertexBuffer(GraphicsDevice& device)
{
    // The loom's declaration 6: position and texture coordinates. Quads go through the
    // device's streaming buffer.
    static const VertexElement elements[] = {{0, VertexType::Float3, VertexSemantic::Position, 0},
                                             {12, VertexType::Float2, VertexSemantic::TexCoord, 0}};
    mLayout = device.CreateVertexLayout(elements);
}

void BeamRenderer::ReleaseVertexBuffer() { mLayout.reset(); }

BeamRecord* BeamRenderer::AddBeam(uint32_t source, float lifetime, const Vector3& start, const Vector3& end,
                                  float width, float amplitude, int32_t segments, float noiseSpeed, int32_t kind)
{
    Vector3 direction = end - start;
    const float length = direction.Length();
    if (!(length > 0.0f) || segments < 1)
    {
        Console::Instance().Log("BeamRenderer: a beam needs two different end points and at least one segment",
                                LogError);
        return nullptr;
    }
    auto beam = std::make_unique<BeamRecord>();
    beam->mSource = source;
    beam->mLifetime = lifetime;
    beam->mStart = start;
    beam->mEnd = end;
    beam->mWidth = width;
    beam->mNoiseAmplitude = amplitude;
    beam->mSegments = segments;
    beam->mNoiseSpeed = noiseSpeed;
    beam->mKind = kind;
    beam->mLength = length;
    beam->mDirection = direction * (1.0f / length);
    beam->mSegmentLength = length / static_cast<float>(segments);
    BuildPerpendicularBasis(beam->mDirection, beam->mSide, beam->mUp);
    beam->mPhase = RandomFloat(0.0f, 100.0f);
    mBeams.push_back(std::move(beam));
    return mBeams.back().get();
}

void BeamRenderer::AddMovingBeam(uint32_t source, float lifetime, const Vector3& start, const Vector3& end, float width,
                                 float amplitude, int32_t segments, float noiseSpeed, float moving, int32_t kind)
{
    if (BeamRecord* beam = AddBeam(source, lifetime, start, end, width, amplitude, segments, noiseSpeed, kind))
        beam->mMoving = moving;
}

void BeamRenderer::BuildPoints(const BeamRecord& beam)
{
    mPoints.clear();
    mPoints.push_back(beam.mStart);
    if (beam.mKind >= 0 && beam.mKind <= 4)
    {
        const bool bent = beam.mKind == 1 || beam.mKind == 2;
        for (int32_t k = 1; k <= beam.mSegments - 2; ++k)
        {
            Vector3 p = beam.mStart + beam.mDirection * (beam.mSegmentLength * float(k));
            if (bent && sNoise)
                p += beam.mSide *
                    (sNoise(beam.mNoiseSpeed * beam.mAge + beam.mPhase + 10.0f * float(k)) * beam.mNoiseAmplitude);
            mPoints.push_back(p);
        }
    }
    mPoints.push_back(beam.mEnd);
}

float BeamRenderer::JointHalfWidth(float width, const Vector3& jointSide, const Vector3& side)
{
    return width / std::max(kMinJointDot, DotProduct(jointSide, side));
}

void BeamRenderer::WriteQuad(const Vector3& a0, const Vector3& a1, const Vector3& b0, const Vector3& b1)
{
    mQuad[0] = {a0.x, a0.y, a0.z, 0.0f, 1.0f};
    mQuad[1] = {a1.x, a1.y, a1.z, 0.0f, 0.0f};
    mQuad[2] = {b0.x, b0.y, b0.z, 1.0f, 1.0f};
    mQuad[3] = {b1.x, b1.y, b1.z, 1.0f, 0.0f};
}

void BeamRenderer::Render(GraphicsDevice& device, float frameTime, const Vector3& eye, Shader* shader)
{
    // Nothing to draw: nothing is fetched or begun.
    if (mBeams.empty())
        return;
    GraphicsLoom* loom = GraphicsLoom::Instance();
    TextureStore* textures = ResourceContext::Textures();
    Ref<Texture> glow = textures ? textures->GetRef(kBlueGlow) : nullptr;
    const bool draw = shader && mLayout && textures;
    uint32_t passes = 0;
    if (draw)
    {
        shader->SetTechniqueByName("TechniqueADD");
        shader->SetWorldMatrices(Matrix4::Identity());
        device.SetVertexLayout(mLayout.get());
        FxEffect& effect = shader->GetEffect();
        effect.SetFloat(effect.GetParameterByName("Scale"), 10.0f);
        shader->SetMatrixByName("Effect", Matrix4::Identity());
        passes = shader->Begin();
    }
    for (size_t i = 0; i < mBeams.size();)
    {
        BeamRecord& beam = *mBeams[i];
        if (beam.mAge > beam.mLifetime || (beam.mSource != 0 && !CogFactory::Instance().GetCog(beam.mSource)))
        {
            // The last beam takes the slot and is handled in this turn.
            mBeams[i] = std::move(mBeams.back());
            mBeams.pop_back();
            continue;
        }
        beam.mAge += frameTime;
        if (beam.mMoving != 0.0f)
        {
            beam.mStart += beam.mDirection;
            beam.mEnd += beam.mDirection;
        }
        ++i;
        if (!draw)
            continue;
        BuildPoints(beam);
        const size_t segments = mPoints.size() - 1;
        mSides.clear();
        for (size_t j = 0; j < segments; ++j)
            mSides.push_back(Cross(mPoints[j + 1] - mPoints[j], mPoints[j] - eye).Normalized());
        for (size_t j = 0; j < segments; ++j)
        {
            const Vector3 startSide = j == 0 ? mSides[j] : (mSides[j - 1] + mSides[j]) * 0.5f;
            const Vector3 endSide = j + 1 == segments ? mSides[j] : (mSides[j] + mSides[j + 1]) * 0.5f;
            const float w0 = JointHalfWidth(beam.mWidth, startSide, mSides[j]);
            const float w1 = JointHalfWidth(beam.mWidth, endSide, mSides[j]);
            WriteQuad(mPoints[j] - startSide * w0, mPoints[j] + startSide * w0, mPoints[j + 1] - endSide * w1,
                      mPoints[j + 1] + endSide * w1);
            Ref<Texture> texture = textures->GetRef(SegmentTexture(beam.mKind, j + 1 == segments));
            shader->SetTexture(Shader::DiffuseMap, texture ? texture->GetTexture() : nullptr);
            const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
            shader->SetColor(Shader::Diffuse, white);
            for (uint32_t pass = 0; pass < passes; ++pass)
            {
                if (loom)
                    loom->GetCounters().mTriangles += 2;
                shader->BeginPass(pass);
                device.DrawUser(PrimitiveType::TriangleStrip, 2, mQuad, sizeof(Vertex));
                shader->EndPass();
            }
        }
    }
    if (draw)
        shader->End();
}
