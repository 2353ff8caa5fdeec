#include "graphics/scenery/Water.h"

#include <vector>

#include "LOOM/assets/AssetManager.h"
#include "LOOM/base/AssertHandler.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/math/Plane.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/effect/Shader.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/ModelStores.h"

namespace {
struct GridVertex
{
    float x, y, z;
    float u, v;
};
static_assert(sizeof(GridVertex) == 20);

constexpr float kGridSpan = 500.0f;
} // namespace

Water::Water() = default;

Water::~Water() { Release(); }

void Water::Init()
{
    if (!mModel && ModelStores::sMeshes)
        mModel = ModelStores::sMeshes->GetRef("Models/Water.LMF");
    mBump.SetFile("Textures/water.png");
    mWaveScale = 0.045f;
    mActive = false;
    Console& console = Console::Instance();
    console.RegisterCommand("WaveScale", MakeConsoleCommand(this, &Water::SetWaveScale),
                            "Controls Wave Distortion Scale");
    console.RegisterCommand("WaterActive", MakeConsoleCommand(this, &Water::SetActive),
                            "Controls if Water is rendered");
    mCommands = true;
}

void Water::SetActive(bool active)
{
    // Switching on while on must not make a second target.
    if (active == mActive)
        return;
    mActive = active;
    if (active)
        OnResetDevice();
    else
        OnLostDevice();
}

void Water::OnResetDevice()
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    GraphicsDevice* device = loom ? loom->GetDevice() : nullptr;
    if (!mActive || !device)
        return;
    TextureDesc desc;
    desc.mWidth = kTargetWidth;
    desc.mHeight = kTargetHeight;
    desc.mRenderTarget = true;
    mReflection = device->CreateTexture(desc);
    BuildGrid(*device);
}

void Water::BuildGrid(GraphicsDevice& device)
{
    mGrid.reset();
    mGridWidth = mGridDepth = 50;
    static const VertexElement kElements[] = {{0, VertexType::Float3, VertexSemantic::Position, 0},
                                              {12, VertexType::Float2, VertexSemantic::TexCoord, 0}};
    mLayout = device.CreateVertexLayout(kElements);
    std::vector<GridVertex> vertices;
    vertices.reserve(size_t(mGridWidth - 1) * (mGridDepth - 1) * 6);
    auto point = [this](uint32_t i, uint32_t j) {
        const float u = float(i) / float(mGridWidth - 1), v = float(j) / float(mGridDepth - 1);
        return GridVertex{kGridSpan * u, kGridHeight, kGridSpan * v, u, v};
    };
    for (uint32_t j = 0; j + 1 < mGridDepth; ++j)
    {
        for (uint32_t i = 0; i + 1 < mGridWidth; ++i)
        {
            for (const GridVertex& v :
                 {point(i, j), point(i, j + 1), point(i + 1, j + 1), point(i, j), point(i + 1, j + 1), point(i + 1, j)})
                vertices.push_back(v);
        }
    }
    const uint32_t bytes = uint32_t(vertices.size() * sizeof(GridVertex));
    mGrid = device.CreateVertexBuffer(bytes, false);
    if (mGrid && !mGrid->Write(0, vertices.data(), bytes))
        mGrid.reset();
}

void Water::OnLostDevice()
{
    mReflection.reset();
    mGrid.reset();
    mLayout.reset();
}

void Water::Release()
{
    OnLostDevice();
    mModel.Reset();
    mBump.Reset();
    if (mCommands)
    {
        Console::Instance().RemoveCommand("WaveScale");
        Console::Instance().RemoveCommand("WaterActive");
        mCommands = false;
    }
}

void Water::BeginReflection(GraphicsLoom& loom)
{
    GraphicsDevice* device = loom.GetDevice();
    if (!device || !mReflection)
        return;
    device->States().mFill = FillMode::Solid;
    mSavedView = device->Bound().Transform(TransformKind::View);
    const Plane plane = Plane::FromPointNormal(Vector3(0.0f, kReflectHeight, 0.0f), Vector3(0.0f, 1.0f, 0.0f));
    device->SetTransform(TransformKind::View, Matrix4::Reflect(plane) * mSavedView);
    device->States().mCull = CullMode::CW;
    loom.SetEffectGlobals();
    mSavedTarget = device->GetRenderTarget(0);
    if (!device->SetRenderTarget(0, mReflection.get()) &&
        AssertFailedString("SUCCEEDED(hr)", "GraphicsLoom", __LINE__, "Failed to Set Render Target Level"))
        DebugBreakIfAttached();
    device->Clear(ClearTarget | ClearZBuffer, 0xFFFFFFFF, 1.0f, 0);
}

void Water::EndReflection(GraphicsLoom& loom)
{
    GraphicsDevice* device = loom.GetDevice();
    if (!device || !mReflection)
        return;
    device->States().mCull = CullMode::CCW;
    device->SetTransform(TransformKind::View, mSavedView);
    device->SetRenderTarget(0, mSavedTarget);
    mSavedTarget = nullptr;
    loom.SetEffectGlobals();
    loom.ApplyFillMode();
}

void Water::Render(GraphicsLoom& loom)
{
    GraphicsDevice* device = loom.GetDevice();
    Shader* shader = device ? loom.GetShaderControl().GetShader("NWater") : nullptr;
    if (!shader || !mGrid || !mReflection || !shader->SetTechniqueByName("Technique0"))
        return;
    FxEffect& effect = shader->GetEffect();
    effect.SetTexture(effect.GetParameterByName("WBumpMap"), mBump.GetTexture());
    effect.SetTexture(effect.GetParameterByName("ReflectMap"), mReflection.get());
    effect.SetFloat(effect.GetParameterByName("WaveScale"), mWaveScale);
    const Matrix4 viewProjection =
        device->Bound().Transform(TransformKind::View) * device->Bound().Transform(TransformKind::Projection);
    shader->SetMatrix(Shader::WorldViewProjection, Matrix4::Identity() * viewProjection);
    const Matrix4 toTexture(0.5f, 0.0f, 0.0f, 0.0f, 0.0f, -0.5f, 0.0f, 0.0f, 0.0f, 0.0f, -0.5f, 0.0f, 0.5f, 0.5f, 0.5f,
                            1.0f);
    shader->SetMatrixByName("Mprojtex", viewProjection * toTexture);
    shader->Begin();
    device->SetVertexLayout(mLayout.get());
    shader->ForEachPass([&] {
        device->SetStreamSource(mGrid.get(), 0, sizeof(GridVertex));
        device->Draw(PrimitiveType::TriangleList, 0, GetGridTriangles());
    });
    shader->End();
}
