#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Vector3.h"
#include "graphics/effect/FxEffect.h"

class Material;
struct FrameMatrices;

// One record of the effect list.
struct ShaderRecord
{
    uint16_t mIndex = 0;
    int32_t mStages = 0;
    bool mAdvanced = false;
    std::string mName;
    std::string mFileName;
    std::string mSpecialFX;
};

// A compiled effect with the handles every renderer uses, resolved once by name.
class Shader
{
public:
    enum TextureSlot
    {
        DiffuseMap,
        NormalMap,
        EffectMap,
        Environment,
        TextureSlots
    };
    enum TechniqueSlot
    {
        Technique0,
        Technique1,
        Skin,
        TechniqueSlots
    };
    enum ValueSlot
    {
        World,
        View,
        Projection,
        WorldView,
        WorldViewProjection,
        ViewInverse,
        Power,
        Diffuse,
        Ambient,
        ModelColor,
        Param,
        ValueSlots
    };

    Shader(const ShaderRecord& record, std::unique_ptr<FxEffect> effect, const FrameMatrices* frame,
           bool pixelShader20);

    uint32_t Begin() { return mPasses = mEffect->Begin(); }
    uint32_t GetPassCount() const { return mPasses; }
    void BeginPass(uint32_t pass) { mEffect->BeginPass(pass); }
    void CommitChanges() { mEffect->CommitChanges(); }
    void EndPass() { mEffect->EndPass(); }
    void End() { mEffect->End(); }
    // Runs draw inside each pass of the technique the last Begin started.
    template <typename Draw>
    void ForEachPass(Draw draw)
    {
        for (uint32_t pass = 0; pass < mPasses; ++pass)
        {
            BeginPass(pass);
            draw();
            EndPass();
        }
    }
    // Begin, draw inside every pass, End.
    template <typename Draw>
    void DrawPasses(Draw draw)
    {
        Begin();
        ForEachPass(draw);
        End();
    }
    bool SetTechnique(int slot);
    bool SetTechniqueByName(const std::string& name)
    {
        return mEffect->SetTechnique(mEffect->GetTechniqueByName(name));
    }
    void SetMatrix(int slot, const Matrix4& m) { mEffect->SetMatrix(mValues[slot], m); }
    void SetMatrixByName(const std::string& name, const Matrix4& m)
    {
        mEffect->SetMatrix(mEffect->GetParameterByName(name), m);
    }
    void SetColor(int slot, const float rgba[4]) { mEffect->SetFloatArray(mValues[slot], rgba, 4); }
    void SetFloatArrayByName(const std::string& name, const float values[4])
    {
        mEffect->SetFloatArray(mEffect->GetParameterByName(name), values, 4);
    }
    void SetVector3(int slot, const Vector3& v);
    void SetVectorByName(const std::string& name, const Vector3& v);
    void SetTexture(int slot, GpuTexture* texture) { mEffect->SetTexture(mTextures[slot], texture); }
    void SetBones(uint32_t count, const Matrix4* matrices) { mEffect->SetMatrixArray(mBones, matrices, count); }
    uint16_t GetIndex() const { return mIndex; }
    void SetIndex(uint16_t index) { mIndex = index; }

    // World, WorldViewProjection and WorldView from the frame's camera matrices.
    void SetWorldMatrices(const Matrix4& world);
    // The same with the second view-projection; WorldView gets the world unchanged.
    void SetWorldMatricesAlt(const Matrix4& world);
    void SetEnvironmentTexture();
    void ApplyMaterial(const Material& material);

    bool CastsShadow() const { return mCastsShadow; }
    uint8_t GetStages() const { return mStages; }
    bool IsAdvanced() const { return mAdvanced; }
    FxEffect& GetEffect() { return *mEffect; }
    FxEffect::Handle GetTechniqueHandle(int slot) const { return mTechniques[slot]; }
    FxEffect::Handle GetValueHandle(int slot) const { return mValues[slot]; }

private:
    uint16_t mIndex = 0;
    uint8_t mStages = 0;
    bool mAdvanced = false;
    uint32_t mPasses = 0;
    bool mCastsShadow = true;
    FxEffect::Handle mTextures[TextureSlots];
    FxEffect::Handle mTechniques[TechniqueSlots];
    FxEffect::Handle mValues[ValueSlots];
    FxEffect::Handle mBones;
    std::unique_ptr<FxEffect> mEffect;
    const FrameMatrices* mFrame;
};
