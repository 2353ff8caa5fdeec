#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "LOOM/base/FileUtils.h"
#include "graphics/resource/ResourceContext.h"
#include "graphics/resource/Texture.h"
#include "tests/LOOM/support/RepoData.h"
#include "tests/graphics/device/DeviceFixture.h"

// The repository's data folder, where texgen writes the textures.

// A GL device, a texture store reached through the resource context, and the data path on
// the repository's data folder; everything restored afterwards.
class ResourceFixture : public DeviceFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(DeviceFixture::SetUp());
        mOldDataPath = GetDataPath();
        SetDataPath(RepoDataFolder());
        mStore = std::make_unique<TextureStore>();
        mStore->SetFolder("Textures");
        mScope = std::make_unique<ResourceContext::Scope>(mDevice.get(), mStore.get(), false);
        mScratch = std::make_unique<ScratchFolder>("gfx_resource");
    }

    void TearDown() override
    {
        mStore.reset();
        mScope.reset();
        mScratch.reset();
        if (!mOldDataPath.empty() || true)
            SetDataPath(mOldDataPath);
        DeviceFixture::TearDown();
    }

    // Writes a scratch file and returns its absolute path (the store key).
    std::string WriteScratch(const std::string& name, const std::string& bytes)
    {
        std::string path = (mScratch->Path() / name).string();
        std::FILE* file = std::fopen(path.c_str(), "wb");
        EXPECT_NE(file, nullptr);
        if (file)
        {
            std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
        }
        return path;
    }

    // Draws a texture over the whole 64x64 back buffer with point sampling.
    void DrawTexture(GpuTexture* texture)
    {
        mDevice->Clear(ClearTarget | ClearZBuffer, kGrey, 1.0f, 0);
        SamplerState point;
        point.mMin = point.mMag = TextureFilter::Point;
        point.mMipEnable = false;
        mDevice->SetSamplerState(0, point);
        DrawRect(0, 0, 64, 64, 0xFFFFFFFF, 0.5f, texture);
        mDevice->SetTexture(0, nullptr);
    }

    std::string mOldDataPath;
    std::unique_ptr<TextureStore> mStore;
    std::unique_ptr<ResourceContext::Scope> mScope;
    std::unique_ptr<ScratchFolder> mScratch;
};
