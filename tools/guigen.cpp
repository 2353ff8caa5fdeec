// Writes the widget files of the GUI tests into <repo>/tests/data/gui (a file with every widget
// type, a window with a button and a text box, overlapping windows, a tool bar and its item)
// the GUI's pointer and menu background into <repo>/data/Textures and the widget key-frame
// clips into <repo>/data/Models, and the game's widget files (HUD, menus, trap button) into
// <repo>/data/MenuData, the same bytes on every run.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "LOOM/base/FileUtils.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/resource/DdsReader.h"
#include "graphics/resource/TextureData.h"
#include "gui/Widget.h"
#include "gui/WidgetFile.h"
#include "gui/widgets/ModelView.h"
#include "gui/widgets/Widgets.h"
#include "tools/MakeWidget.h"
#include "tools/TextureFiles.h"
#include "tools/lmfgen/LmfWriter.h"

namespace {

std::unique_ptr<Widget> AllTypes()
{
    auto root = Make<Window>("Window", "Root", -1.0f, 0.75f, 2.0f, 1.5f);
    root->SetColor(Color(0.0f, 0.0f, 0.25f, 0.5f));
    root->Image().File() = "Textures/White.bmp";
    root->SetToolTip("The root");
    root->AddChild(Make<Widget>("Widget", "Plain", 0.0f, 0.0f, 0.0f, 0.0f));
    auto text = Make<TextBox>("TextBox", "Text", -0.9f, 0.7f, 0.5f, 0.1f);
    text->SetGuiText("Credits: 100 & <more>");
    text->SetEffect(2, Vector3(1.5f, 0.25f, 0.0f));
    text->SetAlignment(3);
    root->AddChild(std::move(text));
    auto button = Make<Button>("Button", "Start", -0.9f, 0.5f, 0.3f, 0.1f);
    button->SetGuiText("Start");
    button->SetHoverColor(Color(1.0f, 1.0f, 0.5f, 1.0f));
    button->Action().mMessage = "Plain";
    button->Action().mScript = "OnStart";
    button->Motion().SetFile("Models/A.anim", 2);
    root->AddChild(std::move(button));
    auto check = Make<CheckBox>("CheckBox", "Sound", -0.9f, 0.3f, 0.05f, 0.05f);
    check->Action().mMessage = "Toggle";
    root->AddChild(std::move(check));
    auto progress = Make<ProgressBar>("ProgressBar", "Loading", -0.9f, 0.2f, 0.6f, 0.05f);
    progress->SetGuiFloat(0.25f);
    root->AddChild(std::move(progress));
    auto health = Make<HealthBar>("HealthBar", "TowerHealth", -0.9f, 0.1f, 0.6f, 0.05f);
    health->SetGuiFloat(0.75f);
    root->AddChild(std::move(health));
    auto slider = Make<Slider>("Slider", "Volume", -0.9f, 0.0f, 0.6f, 0.05f);
    slider->Action().mMessage = "Value";
    root->AddChild(std::move(slider));
    auto combo = Make<ComboBox>("ComboBox", "TrapDropComboBox", 0.2f, 0.7f, 0.4f, 0.08f);
    combo->Action().mMessage = "Pick";
    root->AddChild(std::move(combo));
    auto image = Make<ImageBox>("ImageBox", "InvaderIcon", 0.2f, 0.5f, 0.2f, 0.2f);
    image->Image().File() = "Textures/Checker.png";
    image->SetGrid(2, 2);
    image->AddAnimation("talk", "Textures/CheckerAlpha.dds");
    image->AddAnimation("idle", "Textures/Checker.dds");
    root->AddChild(std::move(image));
    auto map = Make<MapImageBox>("MapImageBox", "MiniMapImageBox", 0.5f, -0.25f, 0.45f, 0.45f);
    map->Image().File() = "Textures/Checker.png";
    map->Action().mMessage = "MiniMapMove";
    root->AddChild(std::move(map));
    auto bar = Make<ToolBar>("ToolBar", "TrapDropToolBar", -0.9f, -0.5f, 1.0f, 0.1f);
    bar->AddItem(Make<Button>("Button", "BarItem", 0.0f, 0.0f, 0.1f, 0.1f));
    root->AddChild(std::move(bar));
    auto model = Make<ModelView>("ModelView", "InvaderModel", -0.2f, 0.4f, 0.3f, 0.5f);
    model->SetModelFile("Models/Invader.lmf");
    root->AddChild(std::move(model));
    return root;
}

std::unique_ptr<Widget> RenderWindow()
{
    auto window = Make<Window>("Window", "MainWindow", -0.5f, 0.5f, 1.0f, 1.0f);
    window->SetColor(Color(0.0f, 0.0f, 1.0f, 1.0f));
    auto button = Make<Button>("Button", "OkButton", -0.4f, 0.4f, 0.3f, 0.2f);
    button->SetColor(Color(0.0f, 1.0f, 0.0f, 1.0f));
    button->SetHoverColor(Color(0.0f, 1.0f, 0.0f, 1.0f));
    button->Action().mMessage = "Plain";
    window->AddChild(std::move(button));
    auto label = Make<TextBox>("TextBox", "Label", 0.0f, 0.4f, 0.4f, 0.2f);
    label->SetColor(Color(1.0f, 0.0f, 0.0f, 1.0f));
    label->SetGuiText("HELLO");
    window->AddChild(std::move(label));
    return window;
}

std::unique_ptr<Widget> MakeWindowWithButton(const char* window, const char* button, const char* message, float x,
                                             float y)
{
    auto w = Make<Window>("Window", window, x, y, 0.8f, 0.6f);
    auto b = Make<Button>("Button", button, x + 0.1f, y - 0.1f, 0.5f, 0.3f);
    b->Action().mMessage = message;
    w->AddChild(std::move(b));
    return w;
}

std::unique_ptr<Widget> Overlap()
{
    auto screen = Make<Widget>("Widget", "Screen", -1.0f, 0.75f, 0.0f, 0.0f);
    screen->AddChild(MakeWindowWithButton("WindowLow", "ButtonLow", "Low", -0.6f, 0.5f));
    screen->AddChild(MakeWindowWithButton("WindowTop", "ButtonTop", "Top", -0.3f, 0.3f));
    screen->AddChild(MakeWindowWithButton("WindowHidden", "ButtonHidden", "Plain", -0.3f, 0.3f));
    auto combo = Make<ComboBox>("ComboBox", "Combo", 0.5f, 0.7f, 0.3f, 0.1f);
    combo->Action().mMessage = "Pick";
    screen->AddChild(std::move(combo));
    auto check = Make<CheckBox>("CheckBox", "Check", 0.6f, 0.0f, 0.1f, 0.1f);
    check->Action().mMessage = "Toggle";
    screen->AddChild(std::move(check));
    auto slider = Make<Slider>("Slider", "Slide", 0.2f, -0.4f, 0.4f, 0.1f);
    slider->Action().mMessage = "Value";
    screen->AddChild(std::move(slider));
    auto map = Make<MapImageBox>("MapImageBox", "MiniMapImageBox", 0.5f, -0.2f, 0.4f, 0.4f);
    map->Action().mMessage = "Map";
    screen->AddChild(std::move(map));
    return screen;
}

std::unique_ptr<Widget> Bar()
{
    auto bar = Make<ToolBar>("ToolBar", "TrapDropToolBar", -0.9f, -0.5f, 1.0f, 0.1f);
    return bar;
}

std::unique_ptr<Widget> Item() { return Make<Widget>("TrapDropButton", "TrapButton", 0.0f, 0.0f, 0.1f, 0.1f); }

// The trap button's stored layout (the game's own widget type): the base fields, its texture
// rectangle and the font of its key letter.
class TrapButtonLayout : public Widget
{
public:
    void Serialize(Serializer& s) override
    {
        Widget::Serialize(s);
        SerializeRect(s, "TextureRect", TextureRect());
        s.SerializeInt("Font", mFont);
    }
    int32_t mFont = 1;
};

template <typename T>
T* Put(Widget& parent, const char* type, const char* name, float x, float y, float w, float h)
{
    auto widget = Make<T>(type, name, x, y, w, h);
    T* raw = widget.get();
    parent.AddChild(std::move(widget));
    return raw;
}

TextBox* Label(Widget& parent, const char* name, const char* text, float x, float y, float w)
{
    auto* label = Put<TextBox>(parent, "TextBox", name, x, y, w, 0.06f);
    label->SetGuiText(text);
    label->SetColor(Color(0.0f, 0.0f, 0.0f, 0.0f));
    return label;
}

Button* MenuButton(Widget& parent, const char* name, const char* text, const char* message, const char* script, float x,
                   float y)
{
    auto* button = Put<Button>(parent, "Button", name, x, y, 0.5f, 0.09f);
    button->SetGuiText(text);
    button->SetAlignment(0);
    button->SetColor(Color(0.15f, 0.2f, 0.45f, 0.9f));
    button->SetHoverColor(Color(0.3f, 0.4f, 0.8f, 1.0f));
    button->Action().mMessage = message;
    button->Action().mScript = script;
    return button;
}

// A window's heading across its top.
TextBox* Title(Widget& parent, const char* name, const char* text)
{
    auto* title = Put<TextBox>(parent, "TextBox", name, -0.6f, 0.56f, 1.2f, 0.1f);
    title->SetGuiText(text);
    title->SetAlignment(0);
    title->SetFont(1);
    title->SetColor(Color(0.0f, 0.0f, 0.0f, 0.0f));
    title->SetTextColor(Color(1.0f, 0.85f, 0.2f, 1.0f));
    return title;
}

Window* MenuPanel(Widget& parent, const char* name)
{
    auto* window = Put<Window>(parent, "Window", name, -0.6f, 0.6f, 1.2f, 1.2f);
    window->SetColor(Color(0.05f, 0.05f, 0.15f, 0.85f));
    return window;
}

// A window over a level: a shade over the whole screen, so the HUD lies under it whole and no
// figure of it stands out beside the window, and the menu's panel on the shade.
Window* LevelPanel(Widget& parent, const char* name)
{
    auto* shade = Put<Window>(parent, "Window", name, -1.0f, 0.75f, 2.0f, 1.5f);
    shade->SetColor(Color(0.0f, 0.0f, 0.05f, 0.55f));
    TextBox* panel = Label(*shade, (std::string(name) + "Panel").c_str(), "", -0.6f, 0.6f, 1.2f);
    panel->SetGuiSize(1.2f, 1.2f);
    panel->SetColor(Color(0.05f, 0.05f, 0.15f, 0.85f));
    return shade;
}

// The in-game HUD: the mini-map, tower health, the counters, two trap tool bars, the trap
// list and the victory-condition window.
std::unique_ptr<Widget> Hud()
{
    auto root = Make<Widget>("Widget", "HUDRoot", -1.0f, 0.75f, 0.0f, 0.0f);
    auto* map = Put<MapImageBox>(*root, "MapImageBox", "MiniMapImageBox", 0.55f, -0.27f, 0.44f, 0.46f);
    map->Image().File() = "Textures/MiniMap.dds";
    map->SetIcons("Textures/MapIcons.png", 4, 0.02f);
    map->SetColor(Color(1.0f, 1.0f, 1.0f, 0.6f));
    map->Action().mMessage = "MiniMapMove";
    auto* health = Put<HealthBar>(*root, "HealthBar", "TowerHealth", -0.95f, 0.72f, 0.5f, 0.04f);
    health->SetColor(Color(0.1f, 0.1f, 0.1f, 0.8f));
    health->SetToolTip("Tower health");
    // The figures stand on a dark plate: speech bubbles over the field behind them go under it
    // instead of through the numbers.
    TextBox* plate = Label(*root, "CountersPanel", "", 0.33f, 0.74f, 0.64f);
    plate->SetGuiSize(0.64f, 0.23f);
    plate->SetColor(Color(0.05f, 0.05f, 0.15f, 0.85f));
    const char* counters[3][2] = {{"CreditsNum", "Credits"}, {"KillsNum", "Kills"}, {"TimeNum", "Time"}};
    for (int i = 0; i < 3; ++i)
    {
        Label(*root, (std::string(counters[i][0]) + "Label").c_str(), counters[i][1], 0.35f, 0.72f - 0.07f * float(i),
              0.2f);
        Label(*root, counters[i][0], "0", 0.6f, 0.72f - 0.07f * float(i), 0.35f)->SetAlignment(3);
    }
    Put<ToolBar>(*root, "ToolBar", "TrapDropToolBar", -0.9f, -0.55f, 1.2f, 0.1f)->SetActive(true);
    Put<ToolBar>(*root, "ToolBar", "TrapDropToolBar2", -0.98f, -0.62f, 1.2f, 0.1f);
    auto* combo = Put<ComboBox>(*root, "ComboBox", "TrapDropComboBox", -0.95f, 0.62f, 0.4f, 0.06f);
    combo->SetColor(Color(0.1f, 0.1f, 0.2f, 0.8f));
    combo->SetToolTip("Click for every trap; pick one to drop it");
    // The list's name beside it: the box itself shows the trap picked, or nothing.
    Label(*root, "TrapListLabel", "< Trap list", -0.54f, 0.62f, 0.26f)->SetColor(Color(0.1f, 0.1f, 0.2f, 0.6f));
    combo->Action().mMessage = "TrapSelect";
    MenuButton(*root, "ZoomToTowerButton", "Tower", "ZoomToTower", "", -0.4f, 0.72f)->SetGuiSize(0.2f, 0.06f);
    // The messages scripts and the game pop up: a banner across the middle and a line under it.
    const auto popup = [&](const char* name, float y, float height, float scale) {
        auto* text = Put<PopupText>(*root, "PopupText", name, -1.0f, y, 2.0f, height);
        text->SetAlignment(0);
        text->SetFont(1);
        text->SetScale(scale);
        text->SetColor(Color(0.0f, 0.0f, 0.0f, 0.35f));
    };
    popup("LargeTextPopup", 0.4f, 0.16f, 2.5f);
    popup("SmallTextPopup", 0.2f, 0.08f, 1.25f);
    auto* victory = Put<Window>(*root, "Window", "LevelVictoryConditionWindow", -0.5f, 0.4f, 1.0f, 0.6f);
    victory->SetColor(Color(0.05f, 0.05f, 0.15f, 0.9f));
    Label(*victory, "VictoryText", "Defend the tower until the invaders give up.", -0.45f, 0.3f, 0.9f);
    MenuButton(*victory, "VictoryOk", "Start", "HideLevelVictoryWindow", "", -0.25f, -0.05f);
    return root;
}

// The menus: the start, options, credits, bonus, viewer, level-choice, in-game, game-over and
// exit windows, and the pieces the menu component fills by name.
std::unique_ptr<Widget> MainMenu()
{
    auto root = Make<Widget>("Widget", "MenuRoot", -1.0f, 0.75f, 0.0f, 0.0f);
    auto* menu = Put<Window>(*root, "Window", "MenuWindow", -0.95f, 0.7f, 0.0f, 0.0f);
    menu->Motion().SetFile("Models/WidgetAnimations.lmf", 0);
    auto* start = MenuPanel(*menu, "StartWindow");
    Title(*start, "StartTitle", "Invaders");
    MenuButton(*start, "PlayButton", "Play", "", "OpenLevelChoice", -0.25f, 0.4f);
    MenuButton(*start, "ViewerButton", "Invaders", "", "OpenInvaderViewer", -0.25f, 0.25f);
    MenuButton(*start, "OptionsButton", "Options", "", "OpenOptions", -0.25f, 0.1f);
    MenuButton(*start, "CreditsButton", "Credits", "", "OpenCredits", -0.25f, -0.05f);
    MenuButton(*start, "BonusButton", "Bonus", "", "OpenBonus", -0.25f, -0.2f);
    MenuButton(*start, "ExitButton", "Exit", "", "ExitGame", -0.25f, -0.35f);
    auto* traitor = Put<ImageBox>(*start, "ImageBox", "TraitorImage", 0.3f, 0.5f, 0.25f, 0.25f);
    traitor->AddAnimation("talk", "Textures/Art/Grunt.dds");
    traitor->AddAnimation("idle", "Textures/Art/Squad.dds");
    auto* options = MenuPanel(*menu, "OptionsWindow");
    Title(*options, "OptionsTitle", "Options");
    // A dark box that lights up when on, as a player reads a check box.
    auto* shadows = Put<CheckBox>(*options, "CheckBox", "ShadowsCheck", -0.4f, 0.4f, 0.06f, 0.08f);
    shadows->SetColor(Color(0.3f, 0.35f, 0.55f, 1.0f));
    shadows->SetCheckColor(Color(1.0f, 0.85f, 0.2f, 1.0f));
    shadows->Action().mScript = "SetShadowsOption";
    Label(*options, "ShadowsLabel", "Shadows", -0.3f, 0.4f, 0.4f);
    auto* volume = Put<Slider>(*options, "Slider", "VolumeSlider", -0.4f, 0.25f, 0.6f, 0.06f);
    volume->Action().mScript = "SetVolumeOption";
    Label(*options, "VolumeLabel", "Volume", 0.25f, 0.25f, 0.3f);
    MenuButton(*options, "OptionsBack", "Back", "", "OpenStart", -0.25f, -0.4f);
    auto* credits = MenuPanel(*menu, "CreditsWindow");
    Label(*credits, "CreditsText", "Made with the Loom engine.", -0.5f, 0.4f, 1.0f);
    MenuButton(*credits, "CreditsBack", "Back", "", "OpenStart", -0.25f, -0.4f);
    auto* bonus = MenuPanel(*menu, "BonusWindow");
    Title(*bonus, "BonusTitle", "Tips");
    const char* tips[] = {"Grab an invader with the left button and throw it.",
                          "The middle button pops up the trap bar.",
                          "Each trap's key is shown on its button.",
                          "The right button leaves a trap drop.",
                          "Esc opens the in-game menu.",
                          "The backquote key opens the console."};
    for (int i = 0; i < 6; ++i)
        Label(*bonus, ("BonusTip" + std::to_string(i + 1)).c_str(), tips[i], -0.5f, 0.35f - 0.09f * float(i), 1.0f);
    MenuButton(*bonus, "BonusBack", "Back", "", "OpenStart", -0.25f, -0.4f);
    auto* viewer = MenuPanel(*menu, "InvaderViewerWindow");
    Put<ImageBox>(*viewer, "ImageBox", "InvaderConceptArt", -0.55f, 0.55f, 0.35f, 0.45f);
    // The icon sheet holds four columns of four rows, one invader index a cell.
    auto* icon = Put<ImageBox>(*viewer, "ImageBox", "InvaderIcon", -0.15f, 0.55f, 0.08f, 0.16f);
    icon->Image().File() = "Textures/Icons/Invaders.dds";
    icon->SetGrid(4, 4);
    auto* model = Put<ModelView>(*viewer, "ModelView", "InvaderModel", 0.05f, 0.55f, 0.5f, 0.7f);
    model->SetModelFile("Models/Invader.lmf");
    model->SetColor(Color(0.0f, 0.0f, 0.0f, 0.0f));
    Put<ImageBox>(*viewer, "ImageBox", "InvaderStatus", -0.15f, 0.4f, 0.08f, 0.08f);
    Label(*viewer, "InvaderName", "", -0.55f, 0.05f, 0.6f);
    Label(*viewer, "InvaderDesc", "", -0.55f, -0.02f, 0.6f);
    Label(*viewer, "AnimationName", "", 0.05f, -0.2f, 0.5f);
    MenuButton(*viewer, "PreviousInvader", "<", "PreviousInvader", "", -0.55f, -0.3f)->SetGuiSize(0.15f, 0.08f);
    MenuButton(*viewer, "NextInvader", ">", "NextInvader", "", -0.35f, -0.3f)->SetGuiSize(0.15f, 0.08f);
    MenuButton(*viewer, "ChangeAnimation", "Animation", "ChangeAnimation", "", 0.05f, -0.3f)->SetGuiSize(0.3f, 0.08f);
    MenuButton(*viewer, "ResetInvader", "Reset", "ResetInvader", "", 0.38f, -0.3f)->SetGuiSize(0.17f, 0.08f);
    MenuButton(*viewer, "ViewerBack", "Back", "", "OpenStart", -0.25f, -0.45f);
    auto* levels = MenuPanel(*menu, "LevelChoiceWindow");
    MenuButton(*levels, "Level1", "Level 1", "", "StartLevelOne", -0.25f, 0.4f);
    MenuButton(*levels, "Level2", "Level 2", "", "StartLevelTwo", -0.25f, 0.25f);
    MenuButton(*levels, "LevelsBack", "Back", "", "OpenStart", -0.25f, -0.4f);
    auto* inGame = LevelPanel(*menu, "InGameWindow");
    MenuButton(*inGame, "ResumeButton", "Resume", "", "ResumeGame", -0.25f, 0.2f);
    MenuButton(*inGame, "QuitButton", "Quit", "", "OpenInGameExit", -0.25f, 0.05f);
    auto* over = MenuPanel(*menu, "GameOverWindow");
    // Won or lost, above the statistics.
    Label(*over, "ExitReason", "", -0.5f, 0.585f, 1.0f)->SetTextColor(Color(1.0f, 0.85f, 0.2f, 1.0f));
    const char* stats[] = {"TimePlayed",     "PointsEarned", "PointsUsed",  "TrapKills", "SuicideKills",
                           "ExplosionKills", "PhysicsKills", "StatusKills", "TotalKills"};
    for (int i = 0; i < 9; ++i)
        Label(*over, stats[i], "", -0.5f, 0.5f - 0.08f * float(i), 1.0f);
    MenuButton(*over, "GameOverBack", "Menu", "", "OpenStart", -0.25f, -0.45f);
    auto* exitWindow = LevelPanel(*menu, "InGameExitWindow");
    // The two buttons answer a question the window asks.
    TextBox* question = Label(*exitWindow, "ExitQuestion", "Leave this level?", -0.5f, 0.35f, 1.0f);
    question->SetAlignment(0);
    question->SetTextColor(Color(1.0f, 0.85f, 0.2f, 1.0f));
    MenuButton(*exitWindow, "ExitYes", "Leave", "", "LeaveLevel", -0.25f, 0.2f);
    MenuButton(*exitWindow, "ExitNo", "Stay", "", "ResumeGame", -0.25f, 0.05f);
    return root;
}

// An RGBA8 texture from a texel function (x, y) -> RGBA.
template <typename F>
bool WriteTexture(const std::filesystem::path& path, uint32_t size, F texel)
{
    TextureData data;
    data.mWidth = data.mHeight = size;
    data.mLevels = 1;
    data.mLevelData.emplace_back(size_t(size) * size * 4);
    for (uint32_t y = 0; y < size; ++y)
        for (uint32_t x = 0; x < size; ++x)
            texel(x, y, &data.Level(0, 0)[(size_t(y) * size + x) * 4]);
    return WriteDds(path, data);
}

// The pointer: a white arrow with a dark rim, its tip in the top-left texel.
void PointerTexel(uint32_t x, uint32_t y, uint8_t* t)
{
    const bool inside = x <= y && x + y / 2 < 24 && y < 28;
    const bool rim = inside && (x == 0 || x == y || x + y / 2 >= 22 || y >= 26);
    t[0] = t[1] = t[2] = rim ? 20 : 255;
    t[3] = inside ? 255 : 0;
}

// The menu background: dark blue to black from top to bottom, opaque.
void MenuBackTexel(uint32_t, uint32_t y, uint8_t* t)
{
    t[0] = uint8_t(10);
    t[1] = uint8_t(20 + (63 - y) / 2);
    t[2] = uint8_t(40 + (63 - y) * 2);
    t[3] = 255;
}

// The widget key-frame clip "A": track 0 slides in from half a screen to the left and turns a
// quarter back to straight over one second; track 1 stays put.
std::string WidgetAnimations()
{
    LmfClip slide;
    slide.name = "A";
    slide.length = 1.0f;
    const Quat quarter(0.92388f, 0.0f, 0.0f, 0.38268f);
    AnimationKey from, to;
    from.time = 0.0f;
    from.position = Vector3(-1.0f, 0.0f, 0.0f);
    from.rotation = quarter;
    to.time = 1.0f;
    slide.tracks.push_back({from, to});
    AnimationKey still;
    slide.tracks.push_back({still});
    return LmfWriter().Header().Clips({slide}).End().Bytes();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: guigen <repository folder>\n");
        return 2;
    }
    RegisterGuiWidgetTypes();
    // The game's own button type, as the tests stand it in: base fields and a font.
    RegisterWidgetType("TrapDropButton", [] { return std::make_unique<Widget>(); });
    const std::filesystem::path folder = std::filesystem::path(argv[1]) / "tests" / "data" / "gui";
    std::filesystem::create_directories(folder);
    SetDataPath(folder.string() + "/");
    bool ok = true;
    ok &= SaveWidgetFile("AllTypes.xml", *AllTypes());
    ok &= SaveWidgetFileBinary("AllTypes.bin", *AllTypes());
    ok &= SaveWidgetFile("Render.xml", *RenderWindow());
    ok &= SaveWidgetFile("Overlap.xml", *Overlap());
    ok &= SaveWidgetFile("Bar.xml", *Bar());
    ok &= SaveWidgetFile("Item.xml", *Item());
    const std::filesystem::path textures = std::filesystem::path(argv[1]) / "data" / "Textures";
    std::filesystem::create_directories(textures);
    ok &= WriteTexture(textures / "Pointer.dds", 32, PointerTexel);
    ok &= WriteTexture(textures / "MenuBack.dds", 64, MenuBackTexel);
    // The game's widget files, with the trap button's own layout.
    RegisterWidgetType("TrapDropButton", [] { return std::make_unique<TrapButtonLayout>(); });
    const std::filesystem::path menus = std::filesystem::path(argv[1]) / "data" / "MenuData";
    std::filesystem::create_directories(menus);
    SetDataPath(menus.string() + "/");
    // Sixteen buttons fit the bottom bar left of the mini-map.
    auto trapButton = Make<TrapButtonLayout>("TrapDropButton", "TrapDropButton", 0.0f, 0.0f, 0.085f, 0.11f);
    ok &= SaveWidgetFile("TrapDropButton.xml", *trapButton);
    ok &= SaveWidgetFile("HUD.xml", *Hud());
    ok &= SaveWidgetFile("MainMenu.xml", *MainMenu());
    const std::filesystem::path models = std::filesystem::path(argv[1]) / "data" / "Models";
    const std::string animations = WidgetAnimations();
    std::FILE* file = std::fopen((models / "WidgetAnimations.lmf").string().c_str(), "wb");
    ok &= file && std::fwrite(animations.data(), 1, animations.size(), file) == animations.size();
    ok &= file && std::fclose(file) == 0;
    return ok ? 0 : 1;
}
