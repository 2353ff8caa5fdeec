#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/base/FileUtils.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Quat.h"
#include "LOOM/space/QTree.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/camera/Camera.h"
#include "graphics/device/Image.h"
#include "graphics/scene/HudDisplay.h"
#include "graphics/scene/Model.h"
#include "graphics/scene/SceneComponents.h"
#include "graphics/scene/SkinModel.h"
#include "graphics/scene/Sprite.h"
#include "graphics/scene/path/PathController.h"
#include "graphics/scenery/SkyDome.h"
#include "tests/LOOM/support/CodeType.h"
#include "tests/graphics/LoomWindowFixture.h"
#include "tests/graphics/resource/ResourceFixture.h"
#include "tests/platform/WindowFixture.h"

// The loom on the headless window with the repository's data, a quadtree over the 512-unit
// world, and a cog manager of its own with the scene component types.
class SceneFixture : public LoomWindowFixture
{
protected:
    static constexpr uint32_t kClear = 0xFF808080;

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenWindow(RepoDataFolder()));
        ASSERT_TRUE(mTree.Allocate(5));
        ASSERT_TRUE(mTree.BuildTree(512.0f));
        mCogs = std::make_unique<CogFactory>();
        RegisterPositional(*mCogs);
        RegisterCamera(*mCogs);
        for (uint32_t id :
             {Model::kTypeId, SkinModel::kTypeId, PathController::kTypeId, Sprite::kTypeId, HudDisplay::kTypeId})
            mCogs->Types().RegisterComponent(id, SceneComponentFactory(id));
        RegisterSceneFunctions(*mCogs);
        ASSERT_NO_FATAL_FAILURE(StartLoom());
        // These scenes are judged against the clear colour: no sky behind them.
        if (SkyDome* sky = mLoom->Scenery().GetSky())
            sky->mSkyActive = sky->mCloudsActive = false;
    }

    void TearDown() override
    {
        // Components give their resources back before the stores go.
        if (mCogs)
            mCogs->DestroyAll();
        mCogs.reset();
        CloseWindow();
    }

    // A cog type in code: a Positional and the given components.
    void MakeType(const std::string& name, std::vector<uint32_t> components)
    {
        components.insert(components.begin(), 1);
        MakeCodeType(*mCogs, name, components);
    }

    // An uninitialised cog of the type at a place.
    Cog* Make(const std::string& type, const Vector3& position)
    {
        Cog* cog = mCogs->Instantiate(type);
        if (cog)
            Place(cog).StorePosition(position);
        return cog;
    }

    // A camera at eye looking at a point; it becomes the loom's active camera.
    Cog* MakeEye(const Vector3& eye, const Vector3& at)
    {
        if (!mEyeType)
            MakeType("SceneEye", {Camera::kTypeId});
        mEyeType = true;
        Cog* cog = Make("SceneEye", eye);
        Place(cog).SetOrientation(Quat::FromDirection((at - eye).Normalized()));
        Get<Camera>(cog).SetView({}, {0.0f, 0.0f, 1.0f}, {0.0f, 1.0f, 0.0f});
        cog->Initialize();
        return cog;
    }

    static Positional& Place(Cog* cog) { return *cog->Get<Positional>(); }
    template <typename T>
    static T& Get(Cog* cog)
    {
        return *cog->Get<T>();
    }

    Image Frame()
    {
        mLoom->Update();
        Image image;
        EXPECT_TRUE(mLoom->GetDevice()->ReadBack(nullptr, image));
        return image;
    }

    // The pixel of a world point seen by the active camera.
    Vector3 ToScreen(const Vector3& point)
    {
        Camera* camera = mLoom->GetActiveCamera();
        Matrix4 viewProjection;
        camera->GetView().Multiply(camera->GetProjection(), viewProjection);
        const Vector3 p = viewProjection.TransformCoord(point);
        return Vector3((p.x + 1.0f) / 2.0f * float(mLoom->GetScreenWidth()),
                       (1.0f - p.y) / 2.0f * float(mLoom->GetScreenHeight()), p.z);
    }

    // The screen rectangle around a world box, grown by a margin.
    struct ScreenBox
    {
        int left, top, right, bottom;
        bool Contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
    };
    ScreenBox BoxOnScreen(const Vector3& min, const Vector3& max, int margin = 3)
    {
        float l = 1e9f, t = 1e9f, r = -1e9f, b = -1e9f;
        for (int i = 0; i < 8; ++i)
        {
            const Vector3 corner(i & 1 ? max.x : min.x, i & 2 ? max.y : min.y, i & 4 ? max.z : min.z);
            const Vector3 s = ToScreen(corner);
            l = std::min(l, s.x);
            r = std::max(r, s.x);
            t = std::min(t, s.y);
            b = std::max(b, s.y);
        }
        return {int(l) - margin, int(t) - margin, int(r) + margin, int(b) + margin};
    }

    // Which of red, green and blue leads in a pixel; -1 for none (greys).
    static int Channel(uint32_t argb)
    {
        const int r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
        return r > g && r > b ? 0 : (g > r && g > b ? 1 : (b > r && b > g ? 2 : -1));
    }
    static int Brightness(uint32_t argb)
    {
        return int((argb >> 16) & 0xFF) + int((argb >> 8) & 0xFF) + int(argb & 0xFF);
    }

    QTree mTree;
    std::unique_ptr<CogFactory> mCogs;
    bool mEyeType = false;
};
