#include "graphics/render/LibraryShaders.h"

#include "graphics/effect/Shader.h"
#include "graphics/effect/ShaderControl.h"
#include "graphics/resource/Material.h"
#include "graphics/resource/Texture.h"

LibraryShaders::~LibraryShaders() { ReleaseShadowTexture(); }

Shader* LibraryShaders::ShaderAt(uint16_t index) { return mLibrary.GetShaderByIndex(index); }

Shader* LibraryShaders::DeferredShader() { return mLibrary.GetShader("DeferredGeo"); }

void LibraryShaders::SetTechnique(Shader& shader, uint32_t technique)
{
    shader.SetTechnique(static_cast<int>(technique));
}

bool LibraryShaders::Blends(Shader& shader, uint32_t technique)
{
    shader.SetTechnique(static_cast<int>(technique));
    return shader.GetEffect().Blends();
}

void LibraryShaders::ApplyMaterial(Shader& shader, Material* material)
{
    if (material)
    {
        shader.ApplyMaterial(*material);
        return;
    }
    static const float kWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    shader.SetTexture(Shader::DiffuseMap, nullptr);
    shader.SetTexture(Shader::NormalMap, nullptr);
    shader.SetTexture(Shader::EffectMap, nullptr);
    shader.SetColor(Shader::Diffuse, kWhite);
}

void LibraryShaders::Begin(Shader& shader) { shader.Begin(); }

void LibraryShaders::End(Shader& shader) { shader.End(); }

void LibraryShaders::SetShadowTexture(Shader& shader, GpuTexture* texture)
{
    shader.SetTexture(Shader::DiffuseMap, texture);
}

GpuTexture* LibraryShaders::AcquireShadowTexture()
{
    ReleaseShadowTexture();
    if (!mTextures)
        return nullptr;
    mShadowDot = mTextures->GetRef(kShadowDot);
    return mShadowDot ? mShadowDot->GetTexture() : nullptr;
}

void LibraryShaders::ReleaseShadowTexture() { mShadowDot.Reset(); }
