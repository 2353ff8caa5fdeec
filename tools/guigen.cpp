// Writes the widget files of the GUI tests into <repo>/tests/data/gui (a file with every widget
// type, a window with a button and a text box, overlapping windows, a tool bar and its item)
// the GUI's pointer and menu background into <repo>/data/Textures and the widget key-frame
// clips into <repo>/data/Models, the same bytes on every run.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "LOOM/base/FileUtils.h"
#include "graphics/resource/DdsReader.h"
#include "graphics/resource/TextureData.h"
#include "gui/Widget.h"
#include "gui/WidgetFile.h"
#include "gui/widgets/Widgets.h"
#include "tools/lmfgen/LmfWriter.h"

namespace {

template <typename T>
std::unique_ptr<T> Make(const char* type, const char* name, float x, float y, float w, float h)
{
    std::unique_ptr<Widget> made = CreateWidget(type);
    std::unique_ptr<T> widget(static_cast<T*>(made.release()));
    widget->SetName(name);
    widget->SetGuiPosition(x, y);
    widget->SetGuiSize(w, h);
    return widget;
}

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
    button->SetAnimationFile("Models/A.anim", 2);
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

std::unique_ptr<Widget> Item()
{
    return Make<Widget>("TrapDropButton", "TrapButton", 0.0f, 0.0f, 0.1f, 0.1f);
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
    const std::string bytes = DdsWriter::Write(data);
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
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
    const std::filesystem::path models = std::filesystem::path(argv[1]) / "data" / "Models";
    const std::string animations = WidgetAnimations();
    std::FILE* file = std::fopen((models / "WidgetAnimations.lmf").string().c_str(), "wb");
    ok &= file && std::fwrite(animations.data(), 1, animations.size(), file) == animations.size();
    ok &= file && std::fclose(file) == 0;
    return ok ? 0 : 1;
}
