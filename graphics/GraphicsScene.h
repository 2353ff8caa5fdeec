#pragma once
#include <vector>

#include "graphics/device/GraphicsDevice.h"
#include "graphics/resource/Texture.h"

class Renderable;
class ParticleComp;
class Effect;
class Terrain;

// The scene lists components register in, and what the device was made with.
struct GraphicsScene
{
    // The graphics loom's lists; null without a loom or between its Shutdown and Init.
    static GraphicsScene* Current();

    void AddModel(Renderable* model) { mModels.push_back(model); }
    void RemoveModel(Renderable* model);
    void AddParticleComp(ParticleComp* comp) { mParticleComps.push_back(comp); }
    void RemoveParticleComp(ParticleComp* comp);
    void AddEffect(Effect* effect) { mEffects.push_back(effect); }
    void RemoveEffect(Effect* effect);

    std::vector<Renderable*> mModels;
    std::vector<ParticleComp*> mParticleComps;
    std::vector<Effect*> mEffects;
    Terrain* mTerrain = nullptr;
    TextureFormat mTextureFormat = TextureFormat::RGBA8;
    DeviceDesc mPresent;
    // The console overlay's place and looks; its commands come with the overlay.
    float mConsolePosition = -240.0f;
    float mConsoleTransparency = 1.0f;
    TextureRef mConsoleBackground;
};
