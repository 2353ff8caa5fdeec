#include "graphics/scene/HudDisplay.h"

#include <algorithm>
#include <cmath>

#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/camera/Camera.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/effect/Shader.h"
#include "graphics/font/BitmapFont.h"
#include "graphics/resource/Texture.h"
#include "graphics/scene/SceneFields.h"

namespace {

struct SharedHud
{
    std::unique_ptr<GpuBuffer> mBuffer;
    BitmapFont* mFont = nullptr;
    TextureRef mBar;
    TextureRef mEdge;
};

SharedHud& Shared()
{
    static SharedHud shared;
    return shared;
}

constexpr float kTextHeight = 4.0f;

uint32_t ToArgb(const Color& c)
{
    auto byte = [](float v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
    return (byte(c.a) << 24) | (byte(c.r) << 16) | (byte(c.g) << 8) | byte(c.b);
}

// A strip of four: (-,-), (-,+), (+,-), (+,+).
float* Quad(float* out, float left, float right, float bottom, float top)
{
    const float v[4][5] = {
        {left, bottom, 0, 0, 1}, {left, top, 0, 0, 0}, {right, bottom, 0, 1, 1}, {right, top, 0, 1, 0}};
    std::copy(&v[0][0], &v[0][0] + 20, out);
    return out + 20;
}

void DrawQuad(GraphicsDevice& device, Shader& shader, uint32_t firstVertex, const Color& color)
{
    shader.SetColor(Shader::ModelColor, &color.r);
    shader.DrawPasses([&] { device.Draw(PrimitiveType::TriangleStrip, firstVertex, 2); });
    if (GraphicsLoom* loom = GraphicsLoom::Instance())
        loom->GetCounters().mTriangles += 2;
}

} // namespace

HudDisplay::~HudDisplay()
{
    auto it = std::find(sLive.begin(), sLive.end(), this);
    if (it != sLive.end())
        sLive.erase(it);
}

void HudDisplay::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeVector("Size", Size);
    s.SerializeVector("Offset", Offset);
    SceneFields::Int(s, "Style", Style);
}

void HudDisplay::Initialize() { sLive.push_back(this); }

void HudDisplay::CreateVertexBuffer(GraphicsDevice* device)
{
    SharedHud& shared = Shared();
    shared.mBuffer.reset();
    if (device)
        shared.mBuffer = device->CreateVertexBuffer(kVertexCount * kVertexSize, true);
}

void HudDisplay::ReleaseVertexBuffer()
{
    SharedHud& shared = Shared();
    shared.mBuffer.reset();
    // The textures go with the device's objects: the stores are emptied after this.
    shared.mBar.Reset();
    shared.mEdge.Reset();
}

GpuBuffer* HudDisplay::GetVertexBuffer() { return Shared().mBuffer.get(); }

void HudDisplay::SetFont(BitmapFont* font) { Shared().mFont = font; }

void HudDisplay::WriteBar(float* out) const
{
    const float w = Size.x * 0.9f;
    const float h = Size.y * 0.65f;
    // A fill outside 0..1 would spill past its background.
    const float fill = std::clamp(Percent, 0.0f, 1.0f);
    out = Quad(out, -w / 2, w / 2, -h / 2, h / 2);
    out = Quad(out, -w / 2, -w / 2 + w * fill, -h / 2, h / 2);
    Quad(out, -Size.x / 2, Size.x / 2, -Size.y / 2, Size.y / 2);
}

void HudDisplay::Render(GraphicsDevice& device)
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    Camera* camera = loom ? loom->GetActiveCamera() : nullptr;
    if (!camera || !mOwnerPositional || (!mShowNumber && !mShowBar))
        return;
    Matrix4 world = camera->GetViewRotationInverse();
    const Vector3 p = mOwnerPositional->GetPositionValue() + Offset;
    world.m[12] = p.x;
    world.m[13] = p.y;
    world.m[14] = p.z;
    SharedHud& shared = Shared();

    if (mShowNumber && shared.mFont)
    {
        device.SetTransform(TransformKind::World, world);
        const Color shadow(0.0f, 0.0f, 0.0f, mColor.a);
        shared.mFont->DrawText3D(Text.c_str(), 0.1f, -0.1f, ToArgb(shadow), kTextHeight, false);
        shared.mFont->DrawText3D(Text.c_str(), 0.0f, 0.0f, ToArgb(mColor), kTextHeight, false);
        device.SetTransform(TransformKind::World, Matrix4::Identity());
    }

    Shader* shader = loom->GetShaderControl().GetShader("Quad");
    GpuBuffer* buffer = shared.mBuffer.get();
    if (!mShowBar || !shader || !buffer)
        return;
    auto* vertices = static_cast<float*>(buffer->Lock(0, kVertexCount * kVertexSize, LockFlag::Discard));
    if (!vertices)
        return;
    WriteBar(vertices);
    buffer->Unlock();

    if (!shader->SetTechniqueByName("TechniqueHUD"))
        return;
    // Taken at the first bar after each start-up; the store keeps them until shutdown.
    if (!shared.mBar.Get())
    {
        shared.mBar.SetFile("Textures/NewBar.png");
        shared.mEdge.SetFile("Textures/BarEdge.png");
    }
    device.SetStreamSource(buffer, 0, kVertexSize);
    device.SetVertexLayout(loom->Stores().GetDeclaration(6));
    shader->SetWorldMatrices(world);
    FxEffect& effect = shader->GetEffect();
    effect.SetFloat(effect.GetParameterByName("Scale"), 10.0f);
    effect.SetMatrix(effect.GetParameterByName("Effect"), Matrix4::Identity());
    shader->SetTexture(Shader::DiffuseMap, shared.mBar.GetTexture());
    DrawQuad(device, *shader, 0, Color(0.4f, 0.4f, 0.4f, mColor.a));
    DrawQuad(device, *shader, 4, mColor);
    shader->SetTexture(Shader::DiffuseMap, shared.mEdge.GetTexture());
    DrawQuad(device, *shader, 8, Color(1.0f, 1.0f, 1.0f, mColor.a));
}

void RegisterHudDisplayMessages(Composer& composer)
{
    constexpr uint32_t id = HudDisplay::kTypeId;
    composer.BindMessage("SetPercent", MakeCompFunctor(id, &HudDisplay::SetPercent));
    composer.BindMessage("ShowBar", MakeCompFunctor(id, &HudDisplay::ShowBar));
    composer.BindMessage("SetNumber", MakeCompFunctor(id, &HudDisplay::SetNumber));
    composer.BindMessage("ShowNumber", MakeCompFunctor(id, &HudDisplay::ShowNumber));
    composer.BindMessage("SetHUDColor", MakeCompFunctor(id, &HudDisplay::SetHUDColor));
    composer.BindMessage("SetText", MakeCompFunctor(id, &HudDisplay::SetText));
}
