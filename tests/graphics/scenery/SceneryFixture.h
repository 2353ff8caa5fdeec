#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/scenery/Terrain.h"
#include "graphics/terrain/HeightMap.h"
#include "tests/LOOM/support/TempDir.h"
#include "tests/graphics/LoomWindowFixture.h"
#include "tests/graphics/resource/ResourceFixture.h"
#include "tests/platform/WindowFixture.h"

// The loom on the headless window with the repository's data, and a camera of our own.
class SceneryFixture : public LoomWindowFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenWindow(RepoDataFolder()));
        ASSERT_NO_FATAL_FAILURE(StartLoom());
    }

    void TearDown() override
    {
        mTerrain.reset();
        mMap.reset();
        CloseWindow();
    }

    static Matrix4 LookAt(const Vector3& eye, const Vector3& at, const Vector3& up)
    {
        const Vector3 z = (at - eye).Normalized();
        Vector3 x, y;
        CrossProduct(up, z, x);
        x = x.Normalized();
        CrossProduct(z, x, y);
        return Matrix4(x.x, y.x, z.x, 0.0f, x.y, y.y, z.y, 0.0f, x.z, y.z, z.z, 0.0f, -DotProduct(x, eye),
                       -DotProduct(y, eye), -DotProduct(z, eye), 1.0f);
    }

    // Camera transforms on the device and in the effects' shared values.
    void SetCamera(const Matrix4& view)
    {
        GraphicsDevice* device = mLoom->GetDevice();
        mView = view;
        mProjection = Matrix4::PerspectiveFovLH(0.8f, 800.0f / 600.0f, 1.0f, 1000.0f);
        device->SetTransform(TransformKind::View, mView);
        device->SetTransform(TransformKind::Projection, mProjection);
        mLoom->SetEffectGlobals();
    }

    std::array<Plane, 6> Frustum() const { return Terrain::FrustumPlanes(mView * mProjection); }

    // A flat map of 33 x 33 tiles (2 x 2 patches) at height h under an all-white terrain.
    void MakeTerrain(float height, const std::string& info = "")
    {
        mMap = std::make_unique<HeightMap>();
        mMap->mMapWidthSize = 33;
        mMap->mMapDepthSize = 33;
        mMap->mTileScale = 2.0f;
        mMap->mHeightScale = 10.0f;
        mMap->mAutoBuildTerrain = false;
        mMap->Initialize();
        for (int32_t z = 0; z < 33; ++z)
            for (int32_t x = 0; x < 33; ++x)
                mMap->Tile(x, z).y = height;
        mMap->ComputeAllNormals();
        mMap->RefreshHeightRange();
        mTerrain = std::make_unique<Terrain>();
        // Dirt red, grass green, rock blue: the frame shows the weights.
        const uint32_t colours[3] = {0xFF0000, 0x00FF00, 0x0000FF};
        TextureRef* layers[3] = {&mTerrain->mDirtTexture, &mTerrain->mGrassTexture, &mTerrain->mRockTexture};
        for (int i = 0; i < 3; ++i)
        {
            Image plain;
            plain.Allocate(4, 4, Image::Format::BGR8);
            for (uint32_t p = 0; p < 16; ++p)
            {
                plain.mPixels[p * 3 + 0] = uint8_t(colours[i]);
                plain.mPixels[p * 3 + 1] = uint8_t(colours[i] >> 8);
                plain.mPixels[p * 3 + 2] = uint8_t(colours[i] >> 16);
            }
            const std::string path = mTextures.Path("Layer" + std::to_string(i) + ".bmp");
            EXPECT_TRUE(plain.SaveBmp(path));
            layers[i]->File() = path;
        }
        mTerrain->mInfoTexture.File() = info;
        mTerrain->Build(mMap.get());
    }

    Image Frame()
    {
        Image image;
        EXPECT_TRUE(mLoom->GetDevice()->ReadBack(nullptr, image));
        return image;
    }

    void Clear() { mLoom->GetDevice()->Clear(ClearTarget | ClearZBuffer, 0xFF808080, 1.0f, 0); }

    std::unique_ptr<HeightMap> mMap;
    std::unique_ptr<Terrain> mTerrain;
    Matrix4 mView;
    Matrix4 mProjection;
    TempDir mTextures;
};
