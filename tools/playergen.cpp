// Writes the player-side test data into <repo>/tests/data/game/player: the HUD and menu widget
// files, the status icons, the Camera, Cursor, HUD and MainMenu compositions with their cog files,
// the same bytes on every run.
#include <stb_image_write.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/base/FileUtils.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/FileComposition.h"
#include "LOOM/serial/Serializer.h"
#include "game/components/GameComponents.h"
#include "game/player/CursorComp.h"
#include "game/player/GameCamera.h"
#include "game/player/HUDComp.h"
#include "game/player/MenuComp.h"
#include "graphics/camera/Camera.h"
#include "graphics/scene/HudDisplay.h"
#include "graphics/scene/SceneComponents.h"
#include "gui/Widget.h"
#include "gui/WidgetComp.h"
#include "gui/WidgetFile.h"
#include "gui/widgets/Widgets.h"
#include "physics/PhysicsComp.h"
#include "physics/RegionComp.h"
#include "tools/MakeWidget.h"

namespace {

std::unique_ptr<Widget> Text(const char* name, float x, float y)
{
    return Make<TextBox>("TextBox", name, x, y, 0.4f, 0.06f);
}

std::unique_ptr<Widget> Hud()
{
    auto root = Make<Widget>("Widget", "HUDRoot", -1.0f, 0.75f, 0.0f, 0.0f);
    auto map = Make<MapImageBox>("MapImageBox", "MiniMapImageBox", 0.55f, -0.3f, 0.4f, 0.4f);
    map->Action().mMessage = "MiniMapMove";
    root->AddChild(std::move(map));
    root->AddChild(Make<HealthBar>("HealthBar", "TowerHealth", -0.95f, 0.7f, 0.5f, 0.05f));
    root->AddChild(Text("CreditsNum", -0.95f, 0.6f));
    root->AddChild(Text("KillsNum", -0.95f, 0.5f));
    root->AddChild(Text("TimeNum", -0.95f, 0.4f));
    root->AddChild(Make<ToolBar>("ToolBar", "TrapDropToolBar", -0.5f, 0.0f, 1.0f, 0.12f));
    root->AddChild(Make<ToolBar>("ToolBar", "TrapDropToolBar2", -0.95f, -0.6f, 1.2f, 0.12f));
    auto combo = Make<ComboBox>("ComboBox", "TrapDropComboBox", 0.4f, 0.7f, 0.5f, 0.06f);
    combo->Action().mMessage = "TrapSelect";
    root->AddChild(std::move(combo));
    for (const char* name : {"LargeTextPopup", "SmallTextPopup"})
    {
        auto popup = Make<PopupText>("PopupText", name, -1.0f, name[0] == 'L' ? 0.4f : 0.2f, 2.0f, 0.1f);
        popup->SetAlignment(0);
        popup->SetFont(1);
        popup->SetColor(Color(0.0f, 0.0f, 0.0f, 0.0f));
        root->AddChild(std::move(popup));
    }
    auto victory = Make<Window>("Window", "LevelVictoryConditionWindow", -0.5f, 0.5f, 1.0f, 0.5f);
    auto go = Make<Button>("Button", "VictoryGo", -0.1f, 0.1f, 0.2f, 0.08f);
    go->SetGuiText("Go");
    go->Action().mMessage = "HideLevelVictoryWindow";
    victory->AddChild(std::move(go));
    root->AddChild(std::move(victory));
    return root;
}

std::unique_ptr<Widget> Window(const char* name) { return Make<::Window>("Window", name, -0.6f, 0.6f, 1.2f, 1.2f); }

std::unique_ptr<Widget> ScriptButton(const char* name, const char* script, float x, float y)
{
    auto button = Make<Button>("Button", name, x, y, 0.4f, 0.1f);
    button->SetGuiText(name);
    button->Action().mScript = script;
    return button;
}

std::unique_ptr<Widget> Menu()
{
    auto root = Make<Widget>("Widget", "MenuRoot", -1.0f, 0.75f, 0.0f, 0.0f);
    auto start = Window("StartWindow");
    start->AddChild(ScriptButton("PlayButton", "ShowLevelChoice", -0.2f, 0.3f));
    root->AddChild(std::move(start));
    auto levels = Window("LevelChoiceWindow");
    levels->AddChild(ScriptButton("LevelOneButton", "StartLevelOne", -0.2f, 0.3f));
    root->AddChild(std::move(levels));
    for (const char* name : {"OptionsWindow", "CreditsWindow", "BonusWindow", "InGameExitWindow"})
        root->AddChild(Window(name));
    auto viewer = Window("InvaderViewerWindow");
    for (const char* name : {"InvaderConceptArt", "InvaderIcon", "InvaderStatus"})
        viewer->AddChild(Make<ImageBox>("ImageBox", name, -0.5f, 0.5f, 0.2f, 0.2f));
    viewer->AddChild(Make<Widget>("ModelView", "InvaderModel", 0.0f, 0.5f, 0.4f, 0.4f));
    for (const char* name : {"InvaderName", "InvaderDesc", "AnimationName"})
        viewer->AddChild(Text(name, -0.5f, 0.0f));
    root->AddChild(std::move(viewer));
    auto inGame = Window("InGameWindow");
    inGame->AddChild(ScriptButton("ResumeButton", "ResumeGame", -0.2f, 0.3f));
    root->AddChild(std::move(inGame));
    auto over = Window("GameOverWindow");
    over->AddChild(Text("ExitReason", -0.5f, 0.65f));
    float y = 0.55f;
    for (const char* name : {"TimePlayed", "PointsEarned", "PointsUsed", "TrapKills", "SuicideKills", "ExplosionKills",
                             "PhysicsKills", "StatusKills", "TotalKills"})
    {
        over->AddChild(Text(name, -0.5f, y));
        y -= 0.1f;
    }
    root->AddChild(std::move(over));
    root->AddChild(Make<ImageBox>("ImageBox", "TraitorImage", 0.6f, 0.7f, 0.3f, 0.3f));
    root->AddChild(Make<::Window>("Window", "MenuWindow", -1.0f, 0.75f, 0.1f, 0.1f));
    return root;
}

// A cog type of the given components, saved as a cog file with its fields as set by edit.
template <typename Edit>
bool SaveCog(CogFactory& cogs, const char* type, const char* cogName, std::initializer_list<uint32_t> components,
             const std::string& file, Edit edit)
{
    auto composer = std::make_shared<Composer>(cogs, type, "");
    for (uint32_t id : components)
        composer->AddComponent(id, cogs.Types().GetComponentFactory(id));
    cogs.Types().RegisterType(type, composer);
    Cog* cog = cogs.Instantiate(type);
    if (!cog)
    {
        std::fprintf(stderr, "playergen: no cog of %s\n", type);
        return false;
    }
    cog->SetName(cogName);
    edit(*cog);
    if (SaveArchetypeXml(*cog, GetDataPath() + file))
        return true;
    std::fprintf(stderr, "playergen: %s not written\n", file.c_str());
    return false;
}

bool SaveComposition(const char* name, std::initializer_list<uint32_t> components,
                     std::initializer_list<const char*> updates, const char* archetype, const char* file)
{
    FileComposition record;
    record.mCogName = name;
    record.mComponents = components;
    for (const char* update : updates)
        record.mUpdateList.push_back(update);
    record.mArchetypes.push_back({archetype, file});
    return SaveFileComposition(record, GetDataPath() + "Compositions/" + name + ".xml");
}

// The region keeps its radius to itself: the stored text is edited instead.
bool SetRadius(const std::string& file, const char* radius)
{
    std::string text;
    if (!ReadWholeFile(file, text))
        return false;
    const std::string from = "<real name=\"Radius\">1</real>";
    const size_t at = text.find(from);
    if (at == std::string::npos)
        return false;
    text.replace(at, from.size(), std::string("<real name=\"Radius\">") + radius + "</real>");
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (!out)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && ok;
}

// A small square icon of one colour with a darker border.
bool WriteIcon(const std::filesystem::path& file, uint8_t r, uint8_t g, uint8_t b)
{
    constexpr int kSide = 16;
    std::vector<uint8_t> texels(kSide * kSide * 4);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
        {
            const bool edge = x == 0 || y == 0 || x == kSide - 1 || y == kSide - 1;
            uint8_t* t = &texels[(y * kSide + x) * 4];
            t[0] = edge ? r / 2 : r;
            t[1] = edge ? g / 2 : g;
            t[2] = edge ? b / 2 : b;
            t[3] = 255;
        }
    return stbi_write_png(file.string().c_str(), kSide, kSide, 4, texels.data(), kSide * 4) != 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: playergen <repository folder>\n");
        return 2;
    }
    RegisterGuiWidgetTypes();
    const std::filesystem::path folder = std::filesystem::path(argv[1]) / "tests" / "data" / "game" / "player";
    for (const char* sub : {"MenuData", "Compositions", "Data", "Textures/StatusIcons"})
        std::filesystem::create_directories(folder / sub);
    SetDataPath(folder.string() + "/");
    bool ok = true;
    ok &= WriteIcon(folder / "Textures/StatusIcons/AURA.png", 240, 220, 90);
    ok &= WriteIcon(folder / "Textures/StatusIcons/BLIND.png", 40, 40, 40);
    ok &= WriteIcon(folder / "Textures/StatusIcons/DUMB.png", 200, 120, 220);
    ok &= WriteIcon(folder / "Textures/StatusIcons/METAL.png", 170, 180, 190);
    ok &= SaveWidgetFile("MenuData/HUD.xml", *Hud());
    ok &= SaveWidgetFile("MenuData/Menu.xml", *Menu());

    CogFactory cogs;
    RegisterPositional(cogs);
    RegisterCamera(cogs);
    RegisterPhysicsComp(cogs);
    RegisterRegionComp(cogs);
    RegisterCursorComp(cogs);
    RegisterGameCamera(cogs);
    RegisterHUDComp(cogs);
    RegisterMenuComp(cogs);
    RegisterGameComponents(cogs);
    cogs.Types().RegisterComponent(HudDisplay::kTypeId, SceneComponentFactory(HudDisplay::kTypeId));
    cogs.Types().RegisterComponent(WidgetComp::kTypeId, WidgetComp::Factory());
    const auto noGravity = [](Cog& cog) {
        auto* physics = cog.Get<PhysicsComp>();
        physics->mUseGravity = false;
        physics->mDisableRotation = true;
    };
    ok &= SaveCog(cogs, "CameraBase", "Camera",
                  {1, Camera::kTypeId, GameCamera::kTypeId, FollowerComp::kTypeId, PhysicsComp::kTypeId},
                  "Data/PlayerCamera.xml", [&](Cog& cog) {
                      noGravity(cog);
                      // The ride-along view follows a cog only while one is named.
                      cog.Get<FollowerComp>()->DestroyWhenNoFollow = false;
                      cog.Get<Camera>()->SetView({}, {0.0f, 0.0f, -1.0f}, {0.0f, 1.0f, 0.0f});
                      cog.Get<Positional>()->StorePosition(Vector3(64.0f, 60.0f, 128.0f));
                      // Looking ahead along -z and down at the ground.
                      cog.Get<Positional>()->SetOrientation(Quat::FromDirection(0.0f, -1.0f, -1.0f));
                  });
    ok &= SaveCog(cogs, "CursorBase", "Cursor",
                  {1, RegionComp::kTypeId, HudDisplay::kTypeId, PhysicsComp::kTypeId, CursorComp::kTypeId},
                  "Data/PlayerCursor.xml", noGravity);
    ok &= SetRadius(GetDataPath() + "Data/PlayerCursor.xml", "6");
    ok &= SaveCog(cogs, "HUDBase", "HUD", {WidgetComp::kTypeId, HUDComp::kTypeId}, "Data/PlayerHUD.xml", [](Cog& cog) {
        cog.Get<WidgetComp>()->SetWidgetFile("MenuData/HUD.xml");
        cog.Get<WidgetComp>()->SetLayer(1);
    });
    ok &= SaveCog(cogs, "MenuBase", "MainMenu", {WidgetComp::kTypeId, MenuComp::kTypeId}, "Data/PlayerMenu.xml",
                  [](Cog& cog) {
                      cog.Get<WidgetComp>()->SetWidgetFile("MenuData/Menu.xml");
                      cog.Get<WidgetComp>()->SetScriptFile("Scripts/Menu.lua");
                      cog.Get<WidgetComp>()->SetLayer(2);
                  });
    cogs.DestroyAll();
    ok &= SaveComposition("Camera",
                          {1, Camera::kTypeId, GameCamera::kTypeId, FollowerComp::kTypeId, PhysicsComp::kTypeId}, {},
                          "PlayerCamera", "Data\\PlayerCamera.xml");
    ok &= SaveComposition("Cursor",
                          {1, RegionComp::kTypeId, HudDisplay::kTypeId, PhysicsComp::kTypeId, CursorComp::kTypeId},
                          {"MouseProjectPosition", "TrapDrop"}, "PlayerCursor", "Data\\PlayerCursor.xml");
    ok &= SaveComposition("HUD", {WidgetComp::kTypeId, HUDComp::kTypeId}, {}, "PlayerHUD", "Data\\PlayerHUD.xml");
    ok &=
        SaveComposition("MainMenu", {WidgetComp::kTypeId, MenuComp::kTypeId}, {}, "PlayerMenu", "Data\\PlayerMenu.xml");
    return ok ? 0 : 1;
}
