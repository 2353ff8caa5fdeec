#include "graphics/render/PostProcessor.h"

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/script/ScriptManager.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/effect/Shader.h"
#include "graphics/effect/ShaderControl.h"

namespace {

struct QuadVertex
{
    float mX, mY, mZ;
    float mU, mV;
};
static_assert(sizeof(QuadVertex) == 20, "the quad vertex is 20 bytes");

constexpr QuadVertex kQuad[4] = {
    {-1.0f, 1.0f, 0.9f, 0.0f, 0.0f},
    {1.0f, 1.0f, 0.9f, 1.0f, 0.0f},
    {-1.0f, -1.0f, 0.9f, 0.0f, 1.0f},
    {1.0f, -1.0f, 0.9f, 1.0f, 1.0f},
};

float GameTime() { return gCoreEngine ? static_cast<float>(gCoreEngine->GetGameClock().GetTime()) : 0.0f; }

} // namespace

PostProcessor::PostProcessor()
{
    Console& console = Console::Instance();
    console.RegisterCommand("PostP", MakeConsoleCommand(this, &PostProcessor::PostP), "Enable a Post Process Effect");
    console.RegisterCommand("DoPostPass", MakeConsoleCommand(this, &PostProcessor::DoPostPass), "DoPostPass");
    console.RegisterCommand("BlurBuffer", MakeConsoleCommand(this, &PostProcessor::BlurBuffer), "BlurBuffer");
}

PostProcessor::~PostProcessor()
{
    Console& console = Console::Instance();
    console.RemoveCommand("PostP");
    console.RemoveCommand("DoPostPass");
    console.RemoveCommand("BlurBuffer");
}

void PostProcessor::SetDevice(GraphicsDevice* device, ShaderControl* shaders)
{
    OnLostDevice();
    mDevice = device;
    mShaders = shaders;
    mLayout.reset();
    if (mDevice)
    {
        static const VertexElement elements[] = {{0, VertexType::Float3, VertexSemantic::Position, 0},
                                                 {12, VertexType::Float2, VertexSemantic::TexCoord, 0}};
        mLayout = mDevice->CreateVertexLayout(elements);
    }
    OnResetDevice();
}

void PostProcessor::OnLostDevice()
{
    mQuad.reset();
    for (size_t i = 1; i < mBuffers.size(); ++i)
        mBuffers[i].mTexture.reset();
}

void PostProcessor::OnResetDevice()
{
    if (!mDevice)
        return;
    mScreenWidth = mDevice->GetWidth();
    mScreenHeight = mDevice->GetHeight();
    mQuad = mDevice->CreateVertexBuffer(sizeof(kQuad), false);
    if (!mQuad)
        Console::Instance().Log("Failed to Create Post Process Quad", LogError);
    RefillQuad();
    if (mActive)
        CreateBuffers();
}

void PostProcessor::RefillQuad()
{
    if (mQuad)
        mQuad->Write(0, kQuad, sizeof(kQuad));
}

void PostProcessor::CreateBuffers()
{
    ReleaseBuffers();
    mBuffers.resize(kBufferCount);
    const int32_t sizes[kBufferCount][2] = {{mScreenWidth, mScreenHeight},
                                            {mScreenWidth, mScreenHeight},
                                            {mScreenWidth / 4, mScreenHeight / 4},
                                            {mScreenWidth / 4, mScreenHeight / 4},
                                            {mScreenWidth / 4, mScreenHeight / 4}};
    for (uint32_t i = 0; i < kBufferCount; ++i)
    {
        PostBuffer& buffer = mBuffers[i];
        buffer.mWidth = sizes[i][0];
        buffer.mHeight = sizes[i][1];
        buffer.mWidthF = static_cast<float>(buffer.mWidth);
        buffer.mHeightF = static_cast<float>(buffer.mHeight);
        if (i == 0 || !mDevice)
            continue;
        TextureDesc desc;
        desc.mFormat = TextureFormat::RGBA8;
        desc.mWidth = static_cast<uint32_t>(std::max(buffer.mWidth, 1));
        desc.mHeight = static_cast<uint32_t>(std::max(buffer.mHeight, 1));
        desc.mRenderTarget = true;
        buffer.mTexture = mDevice->CreateTexture(desc);
        if (!buffer.mTexture)
            Console::Instance().Log("Failed to Create Post Process Buffer", LogError);
    }
}

void PostProcessor::ReleaseBuffers()
{
    for (PostBuffer& buffer : mBuffers)
        buffer.mTexture.reset();
}

void PostProcessor::PostP(std::string name)
{
    if (name == "None")
    {
        mActive = false;
        ReleaseBuffers();
        return;
    }
    // A new effect while one runs: the old buffers go first.
    CreateBuffers();
    mActive = true;
    mEffectName = std::move(name);
}

void PostProcessor::BeginFrame()
{
    if (!mActive || !mDevice || mBuffers.size() < 2)
        return;
    mSavedTarget = mDevice->GetRenderTarget(0);
    mDevice->SetRenderTarget(0, mBuffers[1].mTexture.get());
}

void PostProcessor::EndFrame()
{
    if (!mActive || !mDevice)
        return;
    mDevice->States().mFill = FillMode::Solid;
    mDevice->SetRenderTarget(0, mSavedTarget);
    ParamBuffer params;
    if (!ScriptManager::Instance().CallFunction(mEffectName, params))
    {
        Console::Instance().Log("Bad Post Process Effect", LogError);
        DoPostPass("Display", 1, 1, 0);
        PostP("None");
    }
    mDevice->SetRenderTarget(0, mSavedTarget);
    mSavedTarget = nullptr;
}

void PostProcessor::DrawQuadPasses()
{
    if (Shader* post = mShaders ? mShaders->GetShader("Post") : nullptr)
        DrawQuad(*post);
}

void PostProcessor::DrawQuad(Shader& shader)
{
    if (!mQuad || !mDevice)
        return;
    shader.DrawPasses([&] {
        mDevice->SetVertexLayout(mLayout.get());
        mDevice->SetStreamSource(mQuad.get(), 0, sizeof(QuadVertex));
        mDevice->Draw(PrimitiveType::TriangleStrip, 0, 2);
    });
}

void PostProcessor::DoPostPass(std::string technique, uint32_t a, uint32_t b, uint32_t destination)
{
    if (!IsLive(a) || !IsLive(b) || !IsLive(destination))
    {
        Console::Instance().Log("DoPostPass: buffer index outside the live buffers", LogError);
        return;
    }
    Shader* post = mShaders ? mShaders->GetShader("Post") : nullptr;
    if (!mDevice || !post)
        return;
    const PostBuffer& dest = mBuffers[destination];
    // Buffer 0 is whatever target the frame will end in: the back buffer or the saved one.
    mDevice->SetRenderTarget(0, destination == 0 ? mSavedTarget : dest.mTexture.get());
    FxEffect& effect = post->GetEffect();
    effect.SetTechnique(effect.GetTechniqueByName(technique));
    effect.SetFloat(effect.GetParameterByName("FrameTime"), GameTime());
    const float quad[4] = {mBuffers[a].mWidthF, mBuffers[a].mHeightF, mBuffers[b].mWidthF, mBuffers[b].mHeightF};
    effect.SetFloatArray(effect.GetParameterByName("QuadScreenSize"), quad, 4);
    const float destSize[2] = {dest.mWidthF, dest.mHeightF};
    effect.SetFloatArray(effect.GetParameterByName("DestScreenSize"), destSize, 2);
    effect.SetTexture(effect.GetParameterByName("Source0"), mBuffers[a].mTexture.get());
    effect.SetTexture(effect.GetParameterByName("Source1"), mBuffers[b].mTexture.get());
    DrawQuadPasses();
}

void PostProcessor::BlurBuffer(uint32_t index, uint32_t iterations)
{
    if (!IsLive(index))
    {
        Console::Instance().Log("BlurBuffer: buffer index outside the live buffers", LogError);
        return;
    }
    // Buffer 4 is the blur's own target and buffer 0 has no texture to read.
    if (index == 0 || index == 4)
    {
        Console::Instance().Log("Blur Error", LogError);
        return;
    }
    Shader* post = mShaders ? mShaders->GetShader("Post") : nullptr;
    if (!mDevice || !post)
        return;
    PostBuffer& target = mBuffers[index];
    GpuTexture* scratch = mBuffers[4].mTexture.get();
    mDevice->SetRenderTarget(0, scratch);
    const float tx = 1.0f / target.mWidthF;
    const float ty = 1.0f / target.mHeightF;
    const float hx = tx * 0.5f;
    const float hy = ty * 0.5f;
    FxEffect& effect = post->GetEffect();
    for (uint32_t i = 0; i < iterations; ++i)
    {
        const float n = static_cast<float>(i);
        const float offset1[4] = {0.5f * n * tx + hx, n * ty + hy, -n * tx - hx, 0.5f * n * ty + hy};
        const float offset2[4] = {-0.5f * n * tx - hx, -n * ty - hy, n * tx + hx, -0.5f * n * ty - hy};
        effect.SetFloatArray(effect.GetParameterByName("vOffset01"), offset1, 4);
        effect.SetFloatArray(effect.GetParameterByName("vOffset02"), offset2, 4);
        effect.SetTechnique(effect.GetTechniqueByName("GlareBlur"));
        for (const char* source : {"Source0", "Source1", "Source2", "Source3"})
            effect.SetTexture(effect.GetParameterByName(source), target.mTexture.get());
        DrawQuadPasses();
        if (!mDevice->StretchCopy(scratch, nullptr, target.mTexture.get(), nullptr, false))
            Console::Instance().Log("Blur Error", LogError);
    }
}

void PostProcessor::RenderShadow()
{
    Shader* post = mShaders ? mShaders->GetShader("Post") : nullptr;
    if (!mDevice || !post)
        return;
    FxEffect& effect = post->GetEffect();
    effect.SetTechnique(effect.GetTechniqueByName("RenderShadow"));
    mDevice->SetTexture(0, nullptr);
    mDevice->States().mFill = FillMode::Solid;
    DrawQuadPasses();
}
