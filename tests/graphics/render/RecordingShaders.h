#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "graphics/Renderable.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/render/RenderQueue.h"

// Shader handles for the queue tests: addresses of these tags are the shaders.
struct ShaderTag
{
    uint16_t mIndex = 0;
};

// Writes down what the queue asked of the shader library, as short lines.
class RecordingShaders : public QueueShaders
{
public:
    explicit RecordingShaders(uint16_t count) : mTags(count)
    {
        for (uint16_t i = 0; i < count; ++i)
            mTags[i].mIndex = i;
    }
    static uint16_t Index(Shader& s) { return reinterpret_cast<ShaderTag&>(s).mIndex; }

    Shader* ShaderAt(uint16_t index) override
    {
        return index < mTags.size() && index != mMissing ? reinterpret_cast<Shader*>(&mTags[index]) : nullptr;
    }
    Shader* DeferredShader() override { return reinterpret_cast<Shader*>(&mDeferred); }
    void SetTechnique(Shader& s, uint32_t t) override { Note("tech", s, std::to_string(t)); }
    bool Blends(Shader& s, uint32_t) override { return mBlending.count(Index(s)) > 0; }
    void ApplyMaterial(Shader& s, Material* m) override
    {
        Note("mat", s, m ? std::to_string(reinterpret_cast<uintptr_t>(m) & 0xFFFF) : "white");
    }
    void Begin(Shader& s) override { Note("begin", s); }
    void End(Shader& s) override { Note("end", s); }
    void SetShadowTexture(Shader& s, GpuTexture*) override { Note("dot", s); }
    GpuTexture* AcquireShadowTexture() override
    {
        ++mDotHeld;
        return nullptr;
    }
    void ReleaseShadowTexture() override { --mDotHeld; }

    int Count(const std::string& prefix) const
    {
        int n = 0;
        for (const std::string& line : mLog)
            n += line.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }

    std::vector<std::string> mLog;
    uint16_t mMissing = 0xFFFF;
    // Shaders whose technique blends.
    std::set<uint16_t> mBlending;
    int mDotHeld = 0;

private:
    void Note(const char* what, Shader& s, const std::string& arg = "")
    {
        const bool deferred = reinterpret_cast<ShaderTag*>(&s) == &mDeferred;
        mLog.push_back(std::string(what) + " " + (deferred ? "D" : std::to_string(Index(s))) +
                       (arg.empty() ? "" : " " + arg));
    }
    std::vector<ShaderTag> mTags;
    ShaderTag mDeferred;
};

// Counts its binds and draws.
class RecordingRenderable : public Renderable
{
public:
    bool Submit(float, uint32_t, RenderQueue*) override { return true; }
    void BindGeometry(GraphicsDevice&, uint16_t mesh, uint16_t subKey, bool shadow) override
    {
        ++mBinds;
        mLastBind = {mesh, subKey, shadow ? uint16_t(1) : uint16_t(0)};
    }
    void Draw(GraphicsDevice&, float, Shader*, RenderQueueEntry* entry) override
    {
        ++mDraws;
        mDrawn.push_back(entry);
    }
    void DrawShadow(GraphicsDevice&, Shader*, RenderQueueEntry*) override { ++mShadowDraws; }
    void DrawBounds(GraphicsDevice&, Shader*) override {}

    int mBinds = 0;
    int mDraws = 0;
    int mShadowDraws = 0;
    std::vector<uint16_t> mLastBind;
    std::vector<RenderQueueEntry*> mDrawn;
};
