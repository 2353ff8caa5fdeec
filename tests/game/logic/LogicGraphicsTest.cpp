#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

extern "C" {
#include <lua.h>
}

#include "LOOM/console/Console.h"
#include "LOOM/script/ScriptManager.h"
#include "game/player/SceneBinding.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/device/Image.h"
#include "graphics/scenery/Terrain.h"
#include "graphics/terrain/HeightMap.h"
#include "graphics/terrain/ImageFile.h"
#include "tests/LOOM/support/SaveFaults.h"
#include "tests/game/GameSim.h"
#include "tests/input/LogProbe.h"
#include "tests/platform/WindowFixture.h"

namespace {

// The data folder with vertical sync switched off in Graphics.xml.
std::string DataWithoutVSync(const TempDir& dir)
{
    std::string folder = dir.Path("data");
    std::filesystem::copy(GameDataFolder(), folder, std::filesystem::copy_options::recursive);
    std::string xml = TempDir::Read(folder + "/Graphics.xml");
    const std::string on = "<bool name=\"VSync\">true</bool>";
    const size_t at = xml.find(on);
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos)
        xml.replace(at, on.size(), "<bool name=\"VSync\">false</bool>");
    dir.Write("data/Graphics.xml", xml);
    return folder;
}

// The window stands before the engine starts and goes after it.
struct OffscreenWindow
{
    OffscreenWindow() : mWindow(CreateTestWindow()) {}
    ~OffscreenWindow()
    {
        if (!mWindow)
            return;
        PinLoadedLibraries();
        PlatformWindow::Destroy();
    }
    PlatformWindow* mWindow;
};

// The program's scene binding, installed while the game runs.
struct InstalledScene
{
    InstalledScene() { SetSceneSeam(&mBinding); }
    ~InstalledScene() { SetSceneSeam(nullptr); }
    SceneBinding mBinding;
};

// The game's engine with the graphics loom on the offscreen window and the program's scene
// binding, on a copy of the data folder.
class LogicOnGraphics : public ::testing::Test
{
protected:
    static void AddGraphics(LoomFactories& looms)
    {
        looms.mGraphics = []() -> Loom* { return GraphicsLoom::Create(); };
    }

    GraphicsLoom& Graphics() { return *GraphicsLoom::Instance(); }

    void Script(const std::string& text)
    {
        std::ofstream(mSim.Path("Scripts/Probe.lua"), std::ios::binary) << text;
        ScriptManager::Instance().RunScript("Scripts/Probe.lua");
    }

    static Image Load(const std::string& path)
    {
        Image image;
        std::string error;
        EXPECT_TRUE(LoadImageFile(path, image, error)) << error;
        return image;
    }

    TempDir mDir;
    OffscreenWindow mWindow;
    InstalledScene mScene;
    GameSim mSim{DataWithoutVSync(mDir), 7, &AddGraphics};
};

} // namespace

// A script's settings record reaches the graphics loom and comes back from it; screenshots
// take the new size.
TEST_F(LogicOnGraphics, ScriptSettingsChangeTheDisplayAndReadItBack)
{
    ASSERT_NE(Graphics().GetDevice(), nullptr);
    DisplaySettings start = mSim.Logic().GetSettings();
    EXPECT_EQ(start.mScreenWidth, 800);
    EXPECT_EQ(start.mScreenHeight, 600);
    EXPECT_FALSE(start.mVsync) << "as Graphics.xml says";
    const struct
    {
        int width, height;
        bool vsync, shadows;
    } rows[] = {{640, 480, true, false}, {1024, 768, false, true}};
    int shot = 0;
    for (const auto& row : rows)
    {
        Script("local c = G.GetSettings()\nc.ScreenWidth = " + std::to_string(row.width) +
               "\nc.ScreenHeight = " + std::to_string(row.height) + "\nc.Vsync = " + (row.vsync ? "true" : "false") +
               "\nc.Shadows = " + (row.shadows ? "true" : "false") + "\nG.ChangeSettings(c)\n");
        const DisplaySettings now = mSim.Logic().GetSettings();
        EXPECT_EQ(now.mScreenWidth, row.width);
        EXPECT_EQ(now.mScreenHeight, row.height);
        EXPECT_EQ(now.mVsync, row.vsync);
        EXPECT_EQ(now.mShadows, row.shadows);
        EXPECT_EQ(Graphics().GetScreenWidth(), row.width);
        mSim.Step();
        mSim.Run("ScreenCap");
        const Image image = Load(mSim.Path("screenshot" + std::to_string(shot++) + ".bmp"));
        EXPECT_EQ(image.mWidth, uint32_t(row.width));
        EXPECT_EQ(image.mHeight, uint32_t(row.height));
    }
}

// "GenMap" without a height map says so; on the ground's map it replaces a flat field by the
// generated one, saves it as an image and the terrain shows it.
TEST_F(LogicOnGraphics, GenMapGeneratesSavesAndRebuildsTheTerrain)
{
    const std::string output = mSim.Path("HMapOutput.bmp");
    if (HeightMap* started = HeightMap::Current())
    {
        mSim.Cogs().Destroy(started->GetOwner());
        mSim.Step();
    }
    ASSERT_EQ(HeightMap::Current(), nullptr);
    {
        LogProbe log;
        mSim.Run("GenMap");
        EXPECT_EQ(log.Count("GenMap: there is no height map"), 1);
        EXPECT_FALSE(std::filesystem::exists(output));
    }

    Cog* ground = mSim.Cogs().Create("Ground");
    ASSERT_NE(ground, nullptr);
    HeightMap* map = HeightMap::Current();
    Terrain* terrain = Graphics().GetScene()->mTerrain;
    ASSERT_TRUE(map && terrain);
    for (int32_t z = 0; z < map->mMapDepthSize; ++z)
        for (int32_t x = 0; x < map->mMapWidthSize; ++x)
            map->Tile(x, z).y = 10.0f;
    map->ComputeAllNormals();
    map->RebuildTerrain();

    // The middle of the ground from above, drawn by the terrain alone; a narrow view, since each
    // patch in it bakes its texture first.
    GraphicsDevice& device = *Graphics().GetDevice();
    const Vector3 eye(128.0f, 80.0f, 100.0f), at(128.0f, 10.0f, 128.0f);
    const Vector3 z = (at - eye).Normalized();
    Vector3 x, y;
    CrossProduct(Vector3(0.0f, 1.0f, 0.0f), z, x);
    x = x.Normalized();
    CrossProduct(z, x, y);
    const Matrix4 view(x.x, y.x, z.x, 0.0f, x.y, y.y, z.y, 0.0f, x.z, y.z, z.z, 0.0f, -DotProduct(x, eye),
                       -DotProduct(y, eye), -DotProduct(z, eye), 1.0f);
    const Matrix4 projection = Matrix4::PerspectiveFovLH(0.8f, 800.0f / 600.0f, 1.0f, 1000.0f);
    auto draw = [&]() {
        device.SetTransform(TransformKind::View, view);
        device.SetTransform(TransformKind::Projection, projection);
        Graphics().SetEffectGlobals();
        device.Clear(ClearTarget | ClearZBuffer, 0xFF808080, 1.0f, 0);
        terrain->Render(Terrain::FrustumPlanes(view * projection), 0.0f);
        Image image;
        EXPECT_TRUE(device.ReadBack(nullptr, image));
        return image;
    };
    const Image flat = draw();

    mSim.Run("GenMap");
    ASSERT_TRUE(std::filesystem::exists(output));
    const Image saved = Load(output);
    std::set<uint32_t> greys;
    for (int32_t row = 0; row < map->mMapDepthSize; ++row)
        for (int32_t column = 0; column < map->mMapWidthSize; ++column)
            greys.insert(saved.GetARGB(uint32_t(column), uint32_t(row)) & 0xFF);
    EXPECT_GT(greys.size(), 20u) << "a flat map is one grey";
    EXPECT_NE(map->GetHeight(20.0f, 20.0f), 10.0f);

    const Image generated = draw();
    int changed = 0;
    for (uint32_t py = 0; py < flat.mHeight; ++py)
        for (uint32_t px = 0; px < flat.mWidth; ++px)
            changed += flat.GetARGB(px, py) != generated.GetARGB(px, py);
    EXPECT_GT(changed, int(flat.mWidth * flat.mHeight / 10));
}

// Every save command answers its caller: refused outside the data folder, and on a full disk or a
// read-only folder each old file stays whole and one Error names it.
TEST_F(LogicOnGraphics, SaveCommandsKeepOldFilesWholeAndStayInsideTheDataFolder)
{
    mSim.Run("LogicCreateLevel Scripts\\Levels\\L1.lua");
    // The terrain, whose info map SaveInfo saves.
    if (!Graphics().GetScene()->mTerrain)
    {
        ASSERT_NE(mSim.Cogs().Create("Ground"), nullptr);
    }
    auto answer = [this](const std::string& call) {
        Script("Answer = " + call + " and 1 or 0");
        lua_State* L = ScriptManager::Instance().GetState();
        lua_getglobal(L, "Answer");
        const bool yes = lua_tonumber(L, -1) == 1;
        lua_pop(L, 1);
        return yes;
    };
    struct Command
    {
        const char* mCall;
        std::vector<std::string> mFiles;
        // The files a failed call names: a screenshot goes to the next free name.
        std::vector<std::string> mNamed;
        const char* mFolder;
    };
    const Command commands[] = {
        {"G.SaveLevel(\"Levels/Old\")", {"Levels/Old.bin", "Levels/Old.xml"}, {"Old.bin", "Old.xml"}, "Levels"},
        {"G.SaveObject(\"Tower\", \"Data/TowerOut.xml\")", {"Data/TowerOut.xml"}, {"TowerOut.xml"}, "Data"},
        {"G.SaveOptions(true, 0.5)", {"Options.txt"}, {"Options.txt"}, ""},
        {"G.SaveInfo(\"Textures\\\\InfoOut.bmp\")", {"Textures/InfoOut.bmp"}, {"InfoOut.bmp"}, "Textures"},
        {"G.ScreenCap()", {"screenshot0.bmp"}, {"screenshot1.bmp"}, ""},
    };
    for (const Command& command : commands)
    {
        SCOPED_TRACE(command.mCall);
        ASSERT_TRUE(answer(command.mCall));
        for (const std::string& file : command.mFiles)
            ASSERT_TRUE(std::filesystem::exists(mSim.Path(file))) << file;
        const auto before = FolderSnapshot(mSim.Path(""));
        for (const bool fullDisk : {true, false})
        {
            SCOPED_TRACE(fullDisk ? "full disk" : "read-only folder");
            const uint32_t mark = Console::Instance().GetEntryCounter();
            bool saved = true;
            if (fullDisk)
            {
                FullDisk disk;
                saved = answer(command.mCall);
            }
            else
            {
                ReadOnlyFolder folder(mSim.Path(command.mFolder));
                ASSERT_TRUE(folder.Holds());
                saved = answer(command.mCall);
            }
            EXPECT_FALSE(saved);
            EXPECT_EQ(FolderSnapshot(mSim.Path("")), before) << "an old file changed or a temporary file stayed";
            for (const std::string& name : command.mNamed)
                EXPECT_EQ(ErrorsNaming(mark, name), 1) << name;
        }
    }

    // Paths leaving the data folder are refused, whatever they are spelled like.
    const std::string outside = std::filesystem::path(mSim.Path("")).parent_path().parent_path().string();
    const std::string absolute = outside + "/abs";
    const std::string refused[] = {
        "G.SaveLevel(\"../x\")",
        "G.SaveLevel(\"" + absolute + "\")",
        "G.SaveLevel(\"Levels/../../x\")",
        "G.SaveLevel(\"Levels\\\\..\\\\..\\\\x\")",
        "G.SaveObject(\"Tower\", \"../x.xml\")",
        "G.SaveInfo(\"..\\\\x.bmp\")",
        "G.ConvertFolder(\"Data\", \"../Out\")",
    };
    for (const std::string& call : refused)
    {
        SCOPED_TRACE(call);
        const uint32_t mark = Console::Instance().GetEntryCounter();
        EXPECT_FALSE(answer(call));
        EXPECT_EQ(ErrorsNaming(mark, "Path refused"), 1);
    }
    std::vector<std::string> beside;
    for (const auto& entry : std::filesystem::directory_iterator(outside))
        beside.push_back(entry.path().filename().string());
    EXPECT_EQ(beside, std::vector<std::string>{"data"}) << "nothing is saved beside the data folder";
}
