#pragma once
#include "LOOM/assets/Ref.h"
#include "graphics/render/RenderQueue.h"

class ShaderControl;
class Texture;
class TextureStore;

// The render queue's view of the shader library and the texture store.
class LibraryShaders : public QueueShaders
{
public:
    static constexpr const char* kShadowDot = "Textures\\ShadowDot.dds";

    LibraryShaders(ShaderControl& library, TextureStore* textures) : mLibrary(library), mTextures(textures) {}
    ~LibraryShaders() override;

    Shader* ShaderAt(uint16_t index) override;
    Shader* DeferredShader() override;
    void SetTechnique(Shader& shader, uint32_t technique) override;
    bool Blends(Shader& shader, uint32_t technique) override;
    void ApplyMaterial(Shader& shader, Material* material) override;
    void Begin(Shader& shader) override;
    void End(Shader& shader) override;
    void SetShadowTexture(Shader& shader, GpuTexture* texture) override;
    GpuTexture* AcquireShadowTexture() override;
    void ReleaseShadowTexture() override;

private:
    ShaderControl& mLibrary;
    TextureStore* mTextures;
    Ref<Texture> mShadowDot;
};
