#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "LOOM/assets/Ref.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/resource/Texture.h"

class GraphicsLoom;
class Mesh;
class Shader;
class Sun;

// The sky drawn around the eye before the scene in up to three layers: a cube map, a sky
// coloured by the sun, and clouds over stars. "LoadCubeMap" swaps the coloured sky for a cube.
class SkyDome
{
public:
    enum Layer : uint32_t
    {
        CubeLayer = 1,
        SkyLayer = 2,
        CloudsLayer = 4
    };

    SkyDome();
    ~SkyDome();
    void Init();
    void LoadCubeMap(std::string file);
    void Render(GraphicsLoom& loom, Sun* sun);
    void OnLostDevice();
    void Release();

    bool mCubeActive = false;
    bool mSkyActive = true;
    bool mCloudsActive = true;
    std::string mCubeMapFile;
    TextureRef mCloudTexture;
    TextureRef mCubeTexture;
    // The layers the last Render drew.
    uint32_t GetLayersDrawn() const { return mLayersDrawn; }
    uint32_t GetDomeLoads() const { return mDomeLoads; }
    const Mesh* GetDome() const { return mDome.Get(); }

private:
    void DrawDome(GraphicsDevice& device, Shader& shader);

    // Held from the mesh store: "Models\skydome.lmf", radius 1.
    Ref<Mesh> mDome;
    uint32_t mDomeLoads = 0;
    uint32_t mLayersDrawn = 0;
};
