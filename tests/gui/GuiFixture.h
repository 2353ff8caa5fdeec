#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/base/FileUtils.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/math/Vector3.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/guisystem/GuiSystem.h"
#include "graphics/resource/ResourceContext.h"
#include "graphics/resource/Texture.h"
#include "gui/Widget.h"
#include "gui/WidgetComp.h"
#include "gui/WidgetFile.h"
#include "gui/WidgetLayer.h"
#include "input/IOLoom.h"
#include "tests/LOOM/support/RepoData.h"
#include "tests/LOOM/support/TestComp.h"
#include "tests/graphics/device/DeviceFixture.h"
#include "tests/input/InputEvents.h"
#include "tests/platform/WindowFixture.h"

#ifndef LOOM_TEST_DATA
#define LOOM_TEST_DATA "tests/data"
#endif

inline std::string GuiData(const std::string& name)
{
    return (std::filesystem::path(LOOM_TEST_DATA) / "gui" / name).lexically_normal().string();
}

constexpr uint32_t kHeardId = 961;

// Writes down the widget messages its cog receives.
class HeardComp : public TestComp<kHeardId, "Heard">
{
public:
    void Plain() { mHeard.push_back("Plain"); }
    void Top() { mHeard.push_back("Top"); }
    void Low() { mHeard.push_back("Low"); }
    void Toggle(bool on) { mHeard.push_back(on ? "Toggle:1" : "Toggle:0"); }
    void Value(float v) { mHeard.push_back("Value:" + std::to_string(v)); }
    void Pick(std::string text) { mHeard.push_back("Pick:" + text); }
    void Map(Vector3 v) { mMaps.push_back(v); }

    std::vector<std::string> mHeard;
    std::vector<Vector3> mMaps;
};

class HeardFactory : public CompFactoryOf<HeardComp>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("Plain", MakeCompFunctor(kHeardId, &HeardComp::Plain));
        composer.BindMessage("Top", MakeCompFunctor(kHeardId, &HeardComp::Top));
        composer.BindMessage("Low", MakeCompFunctor(kHeardId, &HeardComp::Low));
        composer.BindMessage("Toggle", MakeCompFunctor(kHeardId, &HeardComp::Toggle));
        composer.BindMessage("Value", MakeCompFunctor(kHeardId, &HeardComp::Value));
        composer.BindMessage("Pick", MakeCompFunctor(kHeardId, &HeardComp::Pick));
        composer.BindMessage("Map", MakeCompFunctor(kHeardId, &HeardComp::Map));
    }
};

inline HeardFactory gHeardFactory;

// The game's stand-in for its own widget types: a button that counts its clicks and can clear
// the tool bar it sits in from its click handler.
class StandInButton : public Widget
{
public:
    void OnClick() override;
    static inline int sClicks = 0;
};

// An 800 x 600 GL device, a texture store, the data path on the repository's data folder, an
// IO loom fed SDL events, a cog manager with the widget component, and a GUI system with the
// widget layer and its own fonts.
class GuiFixture : public ::testing::Test
{
protected:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;
    static constexpr uint32_t kClear = 0xFF000000;

    void SetUp() override
    {
        RegisterGuiWidgetTypes();
        RegisterWidgetType("TrapDropButton", [] { return std::make_unique<StandInButton>(); });
        mOldDataPath = GetDataPath();
        SetDataPath(RepoDataFolder());
        mIo.reset(IOLoom::Create());
        ASSERT_NE(mIo, nullptr);
        mIo->Init();
        mIo->SetScreenSize(kWidth, kHeight);
        mCogs = std::make_unique<CogFactory>();
        mCogs->Types().RegisterComponent(WidgetComp::kTypeId, WidgetComp::Factory());
        mCogs->Types().RegisterComponent(kHeardId, &gHeardFactory);
        auto type = std::make_shared<Composer>(*mCogs, "Panel", "Gui");
        type->AddComponent(kHeardId, &gHeardFactory);
        type->AddComponent(WidgetComp::kTypeId, WidgetComp::Factory());
        mCogs->Types().RegisterType("Panel", type);
        mScratch = std::make_unique<ScratchFolder>("gui");
    }

    // The device and the GUI system; tests that draw nothing skip it.
    void StartGraphics()
    {
        mDesc = TestDeviceDesc(kWidth, kHeight);
        ASSERT_NO_FATAL_FAILURE(OpenTestDevice(mDesc, mWindow, mDevice));
        mStore = std::make_unique<TextureStore>();
        mStore->SetFolder("Textures");
        mScope = std::make_unique<ResourceContext::Scope>(mDevice.get(), mStore.get(), false);
        StartGui(mDevice.get());
    }

    void StartGui(GraphicsDevice* device)
    {
        mGui = std::make_unique<GuiSystem>();
        mGui->SetLayer(WidgetLayer::Make());
        mGui->SetConfigFile("Config/GuiConfig.xml");
        mGui->Init(device, kWidth, kHeight);
        if (device)
            mGui->LoadFonts("Config/GuiConfig.xml");
    }

    void TearDown() override
    {
        if (mCogs)
            mCogs->DestroyAll();
        mCogs.reset();
        mGui.reset();
        mStore.reset();
        mScope.reset();
        mDevice.reset();
        if (mWindow)
        {
            PinLoadedLibraries();
            PlatformWindow::Destroy();
        }
        mIo.reset();
        mScratch.reset();
        SetDataPath(mOldDataPath);
    }

    // The drawing tests' start: the device, the GUI system and a panel of that file from the
    // GUI test data; null after a fatal failure.
    Cog* StartGraphicsWithPanel(const std::string& widgetFile)
    {
        StartGraphics();
        if (HasFatalFailure())
            return nullptr;
        return MakePanel(GuiData(widgetFile));
    }

    // A cog whose widget component holds the tree of that file, on that layer.
    Cog* MakePanel(const std::string& widgetFile, int32_t layer = 0, const std::string& name = "Panel")
    {
        Cog* cog = mCogs->Instantiate("Panel");
        cog->SetName(name);
        WidgetComp& comp = Widgets(cog);
        comp.SetWidgetFile(widgetFile);
        comp.SetLayer(layer);
        cog->Initialize();
        return cog;
    }

    static WidgetComp& Widgets(Cog* cog) { return *cog->Get<WidgetComp>(); }
    static HeardComp& Heard(Cog* cog) { return *static_cast<HeardComp*>(cog->GetComponent(kHeardId)); }

    // One frame: the GUI takes the mouse the loom had, then the loom takes the new events
    // (the graphics loom runs before the IO loom).
    void Frame()
    {
        mIo->Update();
        mGui->Update();
    }

    void MoveTo(int x, int y)
    {
        mIo->HandleEvent(InputEvents::Motion(x, y));
        Frame();
    }

    void Press(int x, int y)
    {
        mIo->HandleEvent(InputEvents::Motion(x, y));
        mIo->HandleEvent(InputEvents::Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, x, y));
        Frame();
    }

    void Release(int x, int y)
    {
        mIo->HandleEvent(InputEvents::Motion(x, y));
        mIo->HandleEvent(InputEvents::Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, x, y));
        Frame();
    }

    void Click(int x, int y)
    {
        Press(x, y);
        Release(x, y);
    }

    Image RenderFrame()
    {
        mDevice->Clear(ClearTarget | ClearZBuffer, kClear, 1.0f, 0);
        mGui->Render();
        Image image;
        EXPECT_TRUE(mDevice->ReadBack(nullptr, image));
        return image;
    }

    std::string Scratch(const std::string& name) const { return (mScratch->Path() / name).string(); }

    std::string mOldDataPath;
    std::unique_ptr<IOLoom> mIo;
    std::unique_ptr<CogFactory> mCogs;
    PlatformWindow* mWindow = nullptr;
    DeviceDesc mDesc;
    std::unique_ptr<GraphicsDevice> mDevice;
    std::unique_ptr<TextureStore> mStore;
    std::unique_ptr<ResourceContext::Scope> mScope;
    std::unique_ptr<GuiSystem> mGui;
    std::unique_ptr<ScratchFolder> mScratch;
};
