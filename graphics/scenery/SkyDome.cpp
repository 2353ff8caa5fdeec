#include "graphics/scenery/SkyDome.h"

#include <cmath>
#include <vector>

#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/effect/Shader.h"
#include "graphics/sky/Sun.h"

namespace {
constexpr int kRings = 12;
constexpr int kSegments = 24;
constexpr float kPi = 3.14159265358979f;
} // namespace

SkyDome::SkyDome()
{
    Console::Instance().RegisterCommand("LoadCubeMap", MakeConsoleCommand(this, &SkyDome::LoadCubeMap),
                                        "Loads and Activates a Cube Map File");
}

SkyDome::~SkyDome()
{
    Release();
    Console::Instance().RemoveCommand("LoadCubeMap");
}

void SkyDome::Init()
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    if (!mDomeVertices && loom && loom->GetDevice())
        BuildDome(*loom->GetDevice());
    mCloudTexture.SetFile("Textures/cloudsbump.dds");
    mCubeActive = false;
    mSkyActive = true;
    mCloudsActive = true;
}

// A unit sphere around the eye; radius 1 sits inside the sky projection's far plane of 2.
void SkyDome::BuildDome(GraphicsDevice& device)
{
    static const VertexElement kElements[] = {{0, VertexType::Float3, VertexSemantic::Position, 0},
                                              {12, VertexType::Float2, VertexSemantic::TexCoord, 0}};
    mLayout = device.CreateVertexLayout(kElements);
    std::vector<float> vertices;
    for (int r = 0; r <= kRings; ++r)
    {
        const float theta = kPi * float(r) / float(kRings);
        for (int s = 0; s <= kSegments; ++s)
        {
            const float phi = 2.0f * kPi * float(s) / float(kSegments);
            const float x = std::sin(theta) * std::cos(phi), y = std::cos(theta), z = std::sin(theta) * std::sin(phi);
            for (float v : {x, y, z, float(s) / float(kSegments), float(r) / float(kRings)})
                vertices.push_back(v);
        }
    }
    std::vector<uint16_t> indices;
    for (int r = 0; r < kRings; ++r)
    {
        for (int s = 0; s < kSegments; ++s)
        {
            const uint16_t a = uint16_t(r * (kSegments + 1) + s), b = uint16_t(a + kSegments + 1);
            for (uint16_t i : {a, b, uint16_t(a + 1), uint16_t(a + 1), b, uint16_t(b + 1)})
                indices.push_back(i);
        }
    }
    const uint32_t vertexBytes = uint32_t(vertices.size() * sizeof(float));
    const uint32_t indexBytes = uint32_t(indices.size() * sizeof(uint16_t));
    mDomeVertices = device.CreateVertexBuffer(vertexBytes, false);
    mDomeIndices = device.CreateIndexBuffer(indexBytes, false, false);
    if (!mDomeVertices || !mDomeIndices || !mDomeVertices->Write(0, vertices.data(), vertexBytes) ||
        !mDomeIndices->Write(0, indices.data(), indexBytes))
    {
        mDomeVertices.reset();
        mDomeIndices.reset();
        return;
    }
    mDomeTriangles = uint32_t(indices.size() / 3);
    ++mDomeBuilds;
}

void SkyDome::LoadCubeMap(std::string file)
{
    TextureRef cube;
    cube.SetFile(file);
    const GpuTexture* texture = cube.GetTexture();
    if (!texture || texture->GetDesc().mKind != TextureKind::Cube)
    {
        Console::Instance().Log("LoadCubeMap: \"" + file + "\" is not a cube map; the sky stays as it is", LogError);
        return;
    }
    mCubeActive = true;
    mCloudsActive = true;
    mSkyActive = false;
    mCubeMapFile = file;
    mCubeTexture.Release();
    mCubeTexture.Assign(cube);
    mCubeTexture.File() = file;
    if (GraphicsLoom* loom = GraphicsLoom::Instance())
        loom->GetShaderControl().Frame().mEnvironment = mCubeTexture.GetTexture();
}

void SkyDome::DrawDome(GraphicsDevice& device, Shader& shader)
{
    const uint32_t passes = shader.Begin();
    device.SetVertexLayout(mLayout.get());
    for (uint32_t pass = 0; pass < passes; ++pass)
    {
        shader.BeginPass(pass);
        device.SetStreamSource(mDomeVertices.get(), 0, 5 * sizeof(float));
        device.SetIndices(mDomeIndices.get());
        device.DrawIndexed(PrimitiveType::TriangleList, 0, 0, mDomeTriangles);
        shader.EndPass();
    }
    shader.End();
}

void SkyDome::Render(GraphicsLoom& loom, Sun* sun)
{
    mLayersDrawn = 0;
    GraphicsDevice* device = loom.GetDevice();
    if (!device || !mDomeVertices)
        return;
    const Matrix4 skyProjection = Matrix4::PerspectiveFovLH(0.6283185f, 1.0f, 0.01f, 2.0f);
    Matrix4 view = device->GetTransform(TransformKind::View);
    const Matrix4 projection = device->GetTransform(TransformKind::Projection);
    Matrix4 centred = view;
    centred.m[12] = centred.m[13] = centred.m[14] = 0.0f;
    const Matrix4 skyBox = centred * skyProjection;
    device->SetTransform(TransformKind::World, Matrix4::Identity());
    ShaderControl& shaders = loom.GetShaderControl();
    auto prepare = [&](const char* name) -> Shader* {
        Shader* shader = shaders.GetShader(name);
        if (!shader || !shader->SetTechnique(Shader::Technique0))
            return nullptr;
        shader->SetMatrix(Shader::View, view);
        shader->SetMatrix(Shader::Projection, projection);
        shader->CommitChanges();
        if (sun)
            sun->SetSkyConstants(shader->GetEffect());
        return shader;
    };
    if (mCubeActive)
        if (Shader* shader = prepare("Cube"))
        {
            shader->SetEnvironmentTexture();
            DrawDome(*device, *shader);
            mLayersDrawn |= CubeLayer;
        }
    if (mSkyActive)
        if (Shader* shader = prepare("Sky"))
        {
            shader->SetMatrixByName("mSkyBox", skyBox);
            DrawDome(*device, *shader);
            mLayersDrawn |= SkyLayer;
        }
    if (mCloudsActive)
    {
        TextureRef stars;
        stars.SetFile("Textures/stars.bmp");
        if (Shader* shader = prepare("Clouds"))
        {
            shader->SetMatrixByName("mSkyBox", skyBox);
            FxEffect& effect = shader->GetEffect();
            effect.SetTexture(effect.GetParameterByName("tex0"), mCloudTexture.GetTexture());
            effect.SetTexture(effect.GetParameterByName("tex1"), stars.GetTexture());
            DrawDome(*device, *shader);
            mLayersDrawn |= CloudsLayer;
        }
    }
}

void SkyDome::OnLostDevice() {}

void SkyDome::Release()
{
    mDomeVertices.reset();
    mDomeIndices.reset();
    mLayout.reset();
    mCubeTexture.Release();
    mCloudTexture.Release();
}
