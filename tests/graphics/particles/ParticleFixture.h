#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/base/FileUtils.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/serial/XMLSaver.h"
#include "graphics/effect/ShaderControl.h"
#include "graphics/model/ModelStoreSet.h"
#include "graphics/particles/ParticleFrame.h"
#include "graphics/particles/ParticlePool.h"
#include "graphics/resource/ResourceContext.h"
#include "graphics/resource/Texture.h"
#include "tests/LOOM/support/CodeType.h"
#include "tests/LOOM/support/RepoData.h"
#include "tests/graphics/particles/RecordingDevice.h"
#include "tests/platform/WindowFixture.h"

// A recording device with the repository's data, a texture store, the model stores and the
// shader library; cogs of a Positional and one particle component; a scratch folder for
// system and emitter files. Everything is restored afterwards.
class ParticleFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mOldDataPath = GetDataPath();
        SetDataPath(RepoDataFolder());
        mTextures = std::make_unique<TextureStore>();
        mScope = std::make_unique<ResourceContext::Scope>(&mDevice, mTextures.get(), false);
        mStores = std::make_unique<ModelStoreSet>(mDeclarations);
        mShaders = std::make_unique<ShaderControl>();
        mShaders->LoadFrom(mDevice, "Config/Methods.xml");
        ParticlePool::CreateDeviceObjects(mDevice);
        mScratch = std::make_unique<ScratchFolder>("particles");
        RegisterPositional(mCogs);
        for (uint32_t type : {3u, 12u})
        {
            mCogs.Types().RegisterComponent(type, ParticleFrame::Factory(type));
            MakeCodeType(mCogs, type == 3 ? "Cloud" : "Fx", {1, type});
        }
        mInUse = ParticlePool::InUse();
    }

    void TearDown() override
    {
        mCogs.DestroyAll();
        EXPECT_EQ(ParticlePool::InUse(), mInUse);
        ParticlePool::OnLostDevice();
        mScratch.reset();
        mShaders.reset();
        mStores.reset();
        mTextures.reset();
        mScope.reset();
        SetDataPath(mOldDataPath);
    }

    // A cog of that type, not yet initialised, and its component.
    template <typename T>
    T& Make(const char* type, Cog*& cog, const Vector3& position = {})
    {
        cog = mCogs.Instantiate(type);
        cog->Get<Positional>()->SetPosition(position);
        return *cog->Get<T>();
    }

    template <typename T>
    std::string Save(const std::string& name, const char* top, T& object)
    {
        std::string path = (mScratch->Path() / name).string();
        EXPECT_TRUE(XMLSaver::SaveElement(path, top, object));
        return path;
    }

    RecordingDevice mDevice;
    std::string mOldDataPath;
    std::unique_ptr<TextureStore> mTextures;
    std::unique_ptr<ResourceContext::Scope> mScope;
    std::vector<std::unique_ptr<VertexLayout>> mDeclarations;
    std::unique_ptr<ModelStoreSet> mStores;
    std::unique_ptr<ShaderControl> mShaders;
    std::unique_ptr<ScratchFolder> mScratch;
    CogFactory mCogs;
    uint32_t mInUse = 0;
};
