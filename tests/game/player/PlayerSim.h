#pragma once
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/serial/Serializer.h"
#include "game/player/CursorComp.h"
#include "game/player/GameCamera.h"
#include "game/player/HUDComp.h"
#include "game/player/LogicCommands.h"
#include "game/player/MenuComp.h"
#include "game/player/SceneBinding.h"
#include "game/widgets/TrapDropButton.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/GraphicsScene.h"
#include "graphics/camera/Camera.h"
#include "graphics/device/Image.h"
#include "graphics/guisystem/GuiSystem.h"
#include "graphics/overlay/ConsoleOverlay.h"
#include "gui/GuiInstall.h"
#include "gui/Widget.h"
#include "gui/WidgetComp.h"
#include "gui/WidgetFile.h"
#include "gui/widgets/Widgets.h"
#include "input/IOLoom.h"
#include "tests/game/invaders/InvaderSim.h"
#include "tests/input/InputEvents.h"
#include "tests/platform/WindowFixture.h"

inline std::string PlayerData()
{
    return (std::filesystem::path(LOOM_TEST_DATA) / "game" / "player").lexically_normal().string();
}

// The recording scene with the level's extent and a HUD display per cog.
class PlayerSeam : public RecordingSeam
{
public:
    struct Hud
    {
        bool mShown = false;
        std::string mText;
        Color mColor;
        float mOffset = 0.0f;
    };

    bool GetMapExtent(float& width, float& depth) override
    {
        width = mWidth;
        depth = mDepth;
        return mWidth > 0.0f;
    }
    void SetAnimationRate(Cog&, float rate) override { mRate = rate; }
    bool HasHudDisplay(Cog&) override { return mHasHud; }
    bool IsNumberShown(Cog& cog) override { return mHuds[cog.GetID()].mShown; }
    void ShowNumber(Cog& cog, bool on) override { mHuds[cog.GetID()].mShown = on; }
    void SetHudText(Cog& cog, const std::string& text) override { mHuds[cog.GetID()].mText = text; }
    void SetHudColor(Cog& cog, const Color& c) override { mHuds[cog.GetID()].mColor = c; }
    void SetHudAlpha(Cog& cog, float a) override { mHuds[cog.GetID()].mColor.a = a; }
    void SetHudOffsetHeight(Cog& cog, float h) override { mHuds[cog.GetID()].mOffset = h; }

    float mWidth = 0.0f;
    float mDepth = 0.0f;
    float mRate = 0.0f;
    bool mHasHud = true;
    std::map<uint32_t, Hud> mHuds;
};

// The console panel that shows the log while a level loads has slid off the top of the screen.
inline bool LoadingTextGone()
{
    const GraphicsLoom* graphics = GraphicsLoom::Instance();
    return graphics && graphics->GetScene() && graphics->GetScene()->mConsolePosition <= ConsoleOverlay::kHidden;
}

// The back buffer a test draws into, set before the level's ground is built (a later change of
// size rebuilds all of its patches); width 0 keeps the data folder's. A test that reads no pixel
// leaves the ground undrawn too: its textures are baked on the CPU as patches come into view,
// most of a frame's cost under the sanitizers.
struct TestScreen
{
    int mWidth = 0;
    int mHeight = 0;
    bool mGround = true;

    void Apply() const
    {
        GraphicsLoom* graphics = GraphicsLoom::Instance();
        ASSERT_NE(graphics, nullptr);
        if (mWidth > 0)
            graphics->Display().SetResolution(uint32_t(mWidth), uint32_t(mHeight));
        graphics->GetToggles().mTerrain = mGround;
    }
};
inline constexpr TestScreen kNoPixelScreen{160, 120, false};

// What must stand before the engine starts: the offscreen window and the GUI; taken back
// when the game goes.
struct PlayerWorld
{
    PlayerWorld()
    {
        mWindow = CreateTestWindow();
        InstallGui();
    }
    ~PlayerWorld()
    {
        GraphicsLoom::SetGuiMaker(nullptr);
        GuiSystem::SetLayerMaker(nullptr);
        size_t count = 0;
        GraphicsComponentType* types = GraphicsLoom::ComponentTypes(count);
        for (size_t i = 0; i < count; ++i)
            if (types[i].mTypeId == WidgetComp::kTypeId)
                types[i].mFactory = nullptr;
        if (mWindow)
        {
            PinLoadedLibraries();
            PlatformWindow::Destroy();
        }
    }
    PlatformWindow* mWindow = nullptr;
};

// The game with input, graphics on the offscreen window and the GUI, a flat 64 x 64 level of
// 4-unit tiles, and the player's cogs: "Camera", "Cursor", "HUD" and "MainMenu". Input goes
// in as SDL events through the input loom, as the window would pass them.
class PlayerSim : public PlayerWorld
{
public:
    static void AddLooms(LoomFactories& looms)
    {
        looms.mIO = []() -> Loom* { return IOLoom::Create(); };
        looms.mGraphics = []() -> Loom* { return GraphicsLoom::Create(); };
    }

    explicit PlayerSim(bool withMenu = true) : mSim(GameDataFolder(), 7, &AddLooms), mField(mSim, 64, 4.0f)
    {
        mSeam.mWidth = mSeam.mDepth = 256.0f;
        std::filesystem::copy(PlayerData(), mSim.Path(""),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        for (const char* name : {"Camera", "Cursor", "HUD", "MainMenu"})
            mSim.Cogs().Files().LoadComposition(std::string("Compositions/") + name + ".xml");
        mCamera = mSim.Cogs().Create("PlayerCamera");
        mCursor = mSim.Cogs().Create("PlayerCursor");
        mHud = mSim.Cogs().Create("PlayerHUD");
        if (withMenu)
            mMenu = mSim.Cogs().Create("PlayerMenu");
        EXPECT_NE(mCamera, nullptr);
        EXPECT_NE(mCursor, nullptr);
        EXPECT_NE(mHud, nullptr);
        // The mouse rests mid-screen: on an edge it would scroll the view.
        MoveTo(Width() / 2, Height() / 2);
    }

    GameSim& Sim() { return mSim; }
    InvaderField& Field() { return mField; }
    PlayerSeam& Seam() { return mSeam; }
    DataController& Data() { return mSim.Data(); }
    IOLoom& Io() { return *IOLoom::Instance(); }
    GuiSystem& Gui() { return *GraphicsLoom::Instance()->GetGui()->AsGuiSystem(); }
    CursorComp& Cursor() { return *mCursor->Get<CursorComp>(); }
    GameCamera& View() { return *mCamera->Get<GameCamera>(); }
    Positional& CameraPlace() { return *mCamera->Get<Positional>(); }
    Positional& CursorPlace() { return *mCursor->Get<Positional>(); }
    WidgetComp& HudWidgets() { return *mHud->Get<WidgetComp>(); }
    WidgetComp& MenuWidgets() { return *mMenu->Get<WidgetComp>(); }
    int Width() { return Io().GetScreenWidth(); }
    int Height() { return Io().GetScreenHeight(); }

    // Starts play: in level, cursor active, and, as in the game once the player has started
    // the level, the menu's start window and the level's goal closed.
    void Play()
    {
        if (mMenu)
            MenuWidgets().CloseWindow("StartWindow");
        mSim.Run("SetGameState 0");
        mSim.Run("SetCursorActive true");
        mHud->CallFunctionByName("EnterLevel");
        HudWidgets().Message("LevelVictoryConditionWindow", "Hide", "");
    }

    void Step(int frames = 1) { mSim.Step(frames); }
    // For tests that read no pixel: the software rasteriser is most of a frame's cost. The input
    // loom takes the new screen size in the frame stepped here.
    void SmallScreen()
    {
        GraphicsLoom::Instance()->Display().SetResolution(320, 240);
        Step();
    }
    void Send(const SDL_Event& event) { Io().HandleEvent(event); }
    void MoveTo(int x, int y)
    {
        mX = x;
        mY = y;
        Send(InputEvents::Motion(x, y));
    }
    void Down(int button) { Send(InputEvents::Button(SDL_MOUSEBUTTONDOWN, SdlButton(button), mX, mY)); }
    void Up(int button) { Send(InputEvents::Button(SDL_MOUSEBUTTONUP, SdlButton(button), mX, mY)); }
    void Key(SDL_Scancode key, bool down) { Send(InputEvents::Key(down ? SDL_KEYDOWN : SDL_KEYUP, key)); }
    // A click: down for a frame, up for a frame.
    void Click(int button)
    {
        Down(button);
        Step();
        Up(button);
        Step();
    }
    // The pixel of a widget's centre.
    void MoveToWidget(const Widget& widget)
    {
        const GuiBox& box = widget.GetBox();
        const float gx = box.mX + box.mWidth * 0.5f;
        const float gy = box.mY - box.mHeight * 0.5f;
        MoveTo(static_cast<int>((gx + 1.0f) * 0.5f * static_cast<float>(Width())),
               static_cast<int>((0.75f - gy) / 1.5f * static_cast<float>(Height())));
    }
    // The pixel over a world point, from the graphics loom's last frame.
    void MoveToWorld(const Vector3& point)
    {
        const Camera* camera = GraphicsLoom::Instance()->GetActiveCamera();
        ASSERT_NE(camera, nullptr);
        Matrix4 viewProjection;
        camera->GetView().Multiply(camera->GetProjection(), viewProjection);
        const Vector3 p = viewProjection.TransformCoord(point);
        MoveTo(static_cast<int>(std::lround((p.x + 1.0f) * 0.5f * static_cast<float>(Width()))),
               static_cast<int>(std::lround((1.0f - p.y) * 0.5f * static_cast<float>(Height()))));
    }

    static uint8_t SdlButton(int button)
    {
        return button == 0 ? SDL_BUTTON_LEFT : button == 1 ? SDL_BUTTON_RIGHT : SDL_BUTTON_MIDDLE;
    }

    Cog* mCamera = nullptr;
    Cog* mCursor = nullptr;
    Cog* mHud = nullptr;
    Cog* mMenu = nullptr;

private:
    GameSim mSim;
    PlayerSeam mSeam;
    InvaderField mField;
    int mX = 0;
    int mY = 0;
};

// The shipped game drawn on the offscreen window through the program's own scene binding.
struct BoundGame : PlayerWorld
{
    BoundGame() : mSim(GameDataFolder(), 7, &PlayerSim::AddLooms) { SetSceneSeam(&mScene); }
    ~BoundGame() { SetSceneSeam(nullptr); }
    BoundGame(const BoundGame&) = delete;
    BoundGame& operator=(const BoundGame&) = delete;

    // For tests that read pixels back: a sixteenth of the default back buffer, with the pixel
    // counts they ask for scaled to match.
    static constexpr TestScreen kReadScreen{200, 150};

    // The device's picture after the given frames.
    Image Frame(int steps = 1)
    {
        mSim.Step(steps);
        Image image;
        EXPECT_TRUE(GraphicsLoom::Instance()->GetDevice()->ReadBack(nullptr, image));
        return image;
    }

    GameSim mSim;
    SceneBinding mScene;
};
