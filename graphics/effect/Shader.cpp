#include "graphics/effect/Shader.h"

#include "graphics/effect/ShaderControl.h"
#include "graphics/resource/Material.h"

namespace {

const char* const kTextureNames[] = {"DiffuseMap", "NormalMap", "EffectMap", "Environment"};
const char* const kValueNames[] = {"World",       "View",  "Projection", "WorldView", "WorldViewProjection",
                                   "ViewInverse", "Power", "Diffuse",    "Ambient",   "ModelColor",
                                   "Param"};

} // namespace

Shader::Shader(const ShaderRecord& record, std::unique_ptr<FxEffect> effect, const FrameMatrices* frame,
               bool pixelShader20)
    : mIndex(record.mIndex), mStages(uint8_t(record.mStages)), mAdvanced(record.mAdvanced),
      mCastsShadow(record.mSpecialFX != "NoShadow"), mEffect(std::move(effect)), mFrame(frame)
{
    for (int i = 0; i < TextureSlots; ++i)
        mTextures[i] = mEffect->GetParameterByName(kTextureNames[i]);
    for (int i = 0; i < ValueSlots; ++i)
        mValues[i] = mEffect->GetParameterByName(kValueNames[i]);
    mBones = mEffect->GetParameterByName("Bones");
    const bool x2 = mAdvanced && pixelShader20;
    mTechniques[Technique0] = mEffect->GetTechniqueByName(x2 ? "Technique0x2" : "Technique0");
    mTechniques[Technique1] = mEffect->GetTechniqueByName(x2 ? "Technique1x2" : "Technique1");
    mTechniques[Skin] = mEffect->GetTechniqueByName("Skin");
}

bool Shader::SetTechnique(int slot)
{
    return slot >= 0 && slot < TechniqueSlots && mEffect->SetTechnique(mTechniques[slot]);
}

void Shader::SetVector3(int slot, const Vector3& v)
{
    const float values[4] = {v.x, v.y, v.z, 0.0f};
    mEffect->SetFloatArray(mValues[slot], values, 4);
}

void Shader::SetVectorByName(const std::string& name, const Vector3& v)
{
    const float values[4] = {v.x, v.y, v.z, 0.0f};
    mEffect->SetFloatArray(mEffect->GetParameterByName(name), values, 4);
}

void Shader::SetWorldMatrices(const Matrix4& world)
{
    Matrix4 product;
    mEffect->SetMatrix(mValues[World], world);
    world.Multiply(mFrame->mViewProjection, product);
    mEffect->SetMatrix(mValues[WorldViewProjection], product);
    world.Multiply(mFrame->mView, product);
    mEffect->SetMatrix(mValues[WorldView], product);
}

void Shader::SetWorldMatricesAlt(const Matrix4& world)
{
    Matrix4 product;
    mEffect->SetMatrix(mValues[World], world);
    world.Multiply(mFrame->mViewProjectionAlt, product);
    mEffect->SetMatrix(mValues[WorldViewProjection], product);
    mEffect->SetMatrix(mValues[WorldView], world);
}

void Shader::SetEnvironmentTexture() { mEffect->SetTexture(mTextures[Environment], mFrame->mEnvironment); }

void Shader::ApplyMaterial(const Material& material)
{
    mEffect->SetTexture(mTextures[DiffuseMap], material.mDiffuse.GetTexture());
    mEffect->SetTexture(mTextures[NormalMap], material.mNormal.GetTexture());
    mEffect->SetTexture(mTextures[EffectMap], material.mEffect.GetTexture());
    const float diffuse[4] = {material.mDiffuseColor.r, material.mDiffuseColor.g, material.mDiffuseColor.b,
                              material.mDiffuseColor.a};
    mEffect->SetFloatArray(mValues[Diffuse], diffuse, 4);
    mEffect->SetFloat(mValues[Power], material.mPower);
}
