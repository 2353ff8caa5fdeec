#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <lua.hpp>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/script/ScriptManager.h"
#include "LOOM/space/QTree.h"
#include "audio/SoundBank.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/effect/FxEffect.h"
#include "graphics/font/BitmapFont.h"
#include "graphics/font/FontList.h"
#include "graphics/resource/ResourceContext.h"
#include "graphics/resource/Texture.h"
#include "gui/Widget.h"
#include "gui/WidgetComp.h"
#include "gui/WidgetFile.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/LOOM/support/SerialTestUtil.h"
#include "tests/game/GameSim.h"

namespace fs = std::filesystem;

namespace {

// The first half of a file, written over it.
void CutInHalf(const std::string& path)
{
    const std::string bytes = ReadTextFile(path);
    WriteTextFile(path, bytes.substr(0, bytes.size() / 2));
}

void Replace(const std::string& path, const std::string& from, const std::string& to)
{
    std::string text = ReadTextFile(path);
    const size_t at = text.rfind(from);
    ASSERT_NE(at, std::string::npos) << path;
    WriteTextFile(path, text.replace(at, from.size(), to));
}

// A copy of a data file under another name, with the last occurrence of one piece changed.
void CopyChanged(GameSim& s, const std::string& source, const std::string& copy, const std::string& from,
                 const std::string& to)
{
    WriteTextFile(s.Path(copy), ReadTextFile(s.Path(source)));
    Replace(s.Path(copy), from, to);
}

// A PNG of a few hundred bytes whose header declares 16384 x 16384 RGBA pixels (1 GiB decoded).
std::string BombPng()
{
    auto u32 = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    std::string png = "\x89PNG\r\n\x1a\n";
    png += u32(13) + "IHDR" + u32(16384) + u32(16384) + std::string{8, 6, 0, 0, 0} + u32(0);
    png += u32(256) + "IDAT" + std::string(256, '\x55') + u32(0);
    png += u32(0) + "IEND" + u32(0);
    return png;
}

// Beside the data folder, where nothing the console, a script or a data file names may be read: a
// composition of type "Outsider" and a level script setting "Outside".
void WriteOutsiders(GameSim& s)
{
    CopyChanged(s, "Compositions/Bomb.xml", "../Outsider.xml", ">Bomb<", ">Outsider<");
    WriteTextFile(s.Path("../Outsider.lua"), "dofile('Scripts/Levels/L1.lua')\nOutside = 1\n");
}

std::string OutsiderPath(GameSim& s, const std::string& name)
{
    return fs::weakly_canonical(s.Path("../" + name)).string();
}

// Nothing of the outsiders was read: no type, no level, no global.
void ExpectNothingOutsideRead(GameSim& s)
{
    EXPECT_EQ(s.Cogs().Types().FindType("Outsider"), nullptr);
    EXPECT_NE(s.Data().mGameState, StateInLevel) << "the menu stays";
    lua_State* L = ScriptManager::Instance().GetState();
    lua_getglobal(L, "Outside");
    EXPECT_TRUE(lua_isnil(L, -1));
    lua_pop(L, 1);
}

bool HoldsAll(const std::string& line, const std::vector<std::string>& pieces)
{
    for (const std::string& piece : pieces)
        if (line.find(piece) == std::string::npos)
            return false;
    return true;
}

} // namespace

// Each reader, given a broken file through the loader the game uses, refuses it with an Error
// line naming the file and what is wrong with it.
TEST(BrokenFile, EachReaderRefusesItWithALineNamingIt)
{
    GameSim sim;
    std::unique_ptr<GraphicsDevice> device = GraphicsDevice::CreateNull(DeviceDesc());
    TextureStore textures;
    ResourceContext::Scope scope(device.get(), &textures, false);
    auto loadTexture = [&](const std::string& name) {
        return [&textures, name](GameSim&) {
            Texture* texture = textures.Get(name);
            EXPECT_EQ(texture->GetDeviceTexture(), nullptr) << name;
            texture->Release();
        };
    };
    // A console command that must read nothing beside the data folder.
    auto runRefused = [](const std::string& command) {
        return [command](GameSim& s) {
            s.Run(command);
            ExpectNothingOutsideRead(s);
        };
    };

    struct Case
    {
        const char* mName;
        std::function<void(GameSim&)> mBreak;
        std::function<void(GameSim&)> mLoad;
        std::vector<std::string> mLine;
        // The file is named by exactly one Error: refused, then missing without a second complaint.
        bool mOnlyOne = false;
    };
    const std::vector<Case> cases = {
        {"a texture cut in half",
         [](GameSim& s) {
             fs::copy_file(s.Path("Textures/stars.bmp"), s.Path("Textures/Cut.bmp"));
             CutInHalf(s.Path("Textures/Cut.bmp"));
         },
         loadTexture("Textures/Cut.bmp"),
         {"Cut.bmp", "the BMP is cut short"}},
        {"a small PNG declaring 16384x16384",
         [](GameSim& s) { WriteTextFile(s.Path("Textures/Bomb.png"), BombPng()); },
         loadTexture("Textures/Bomb.png"),
         {"Bomb.png", "16384x16384 decodes to 1366 MiB, above the 64 MiB cap"}},
        {"a DDS with trailing bytes",
         [](GameSim& s) {
             WriteTextFile(s.Path("Textures/Tail.dds"),
                           ReadTextFile(s.Path("Textures/Checker.dds")) + std::string(size_t(1) << 20, '\0'));
         },
         loadTexture("Textures/Tail.dds"),
         {"Tail.dds", "1048576 bytes follow the data"}},
        {"an empty composition file",
         [](GameSim& s) { WriteTextFile(s.Path("Compositions/Empty.xml"), ""); },
         [](GameSim& s) { s.Cogs().Files().LoadCogFile("Compositions\\Empty.xml"); },
         {"Empty.xml", "is empty"}},
        {"a folder as composition file",
         [](GameSim& s) { fs::create_directory(s.Path("Compositions/Folder.xml")); },
         [](GameSim& s) { s.Cogs().Files().LoadCogFile("Compositions\\Folder.xml"); },
         {"Folder.xml", "is not a file"}},
        {"QTree.xml with a corrupted closing tag",
         [](GameSim& s) { Replace(s.Path("Config/QTree.xml"), "</Stream>", "</StreXm>"); },
         [](GameSim&) { QTree().Init(); },
         {"QTree.xml", "StreXm> does not close <Stream>"}},
        {"QTree.xml with a corrupted encoding name",
         [](GameSim& s) { Replace(s.Path("Config/QTree.xml"), "UTF-8", "UTF-\x98"); },
         [](GameSim&) { QTree().Init(); },
         {"QTree.xml", "unknown encoding \"UTF-\x98\""}},
        {"an empty level script",
         [](GameSim& s) { WriteTextFile(s.Path("Scripts/Levels/Empty.lua"), ""); },
         [](GameSim& s) {
             s.Run("LogicCreateLevel Scripts\\Levels\\Empty.lua");
             EXPECT_NE(s.Data().mGameState, StateInLevel) << "no level without waves";
         },
         {"Level not started", "Empty.lua is empty"}},
        {"a composition beside the data folder, named on the console",
         WriteOutsiders,
         runRefused("file ../Outsider.xml"),
         {"Path refused", "Outsider.xml", "leaves the data folder"}},
        {"a composition named on the console by its absolute path",
         WriteOutsiders,
         [](GameSim& s) {
             s.Run("file " + OutsiderPath(s, "Outsider.xml"));
             ExpectNothingOutsideRead(s);
         },
         {"Path refused", "Outsider.xml", "is absolute"}},
        {"a cog list naming a composition beside the data folder",
         [](GameSim& s) {
             WriteOutsiders(s);
             WriteTextFile(s.Path("Data/OutsideList.xml"),
                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n"
                           "<list size=\"1\" type=\"file\"><file>..\\Outsider.xml</file></list>\n</Stream>\n");
         },
         runRefused("file Data/OutsideList.xml"),
         {"Path refused", "Outsider.xml", "leaves the data folder"}},
        {"a cog file beside the data folder, named by a script",
         [](GameSim& s) { WriteTextFile(s.Path("../OutsiderCog.xml"), ReadTextFile(s.Path("Data/BaseTower.xml"))); },
         [](GameSim& s) {
             const size_t cogs = s.Cogs().GetCogCount();
             WriteTextFile(s.Path("Scripts/CreateOutside.lua"), "Made = G.Create('../OutsiderCog.xml')\n");
             ScriptManager::Instance().RunScript("Scripts/CreateOutside.lua");
             EXPECT_EQ(s.Cogs().GetCogCount(), cogs);
         },
         {"Path refused", "OutsiderCog.xml", "leaves the data folder"}},
        {"a level script beside the data folder",
         WriteOutsiders,
         runRefused("LogicCreateLevel ..\\Outsider.lua"),
         {"Path refused", "Outsider.lua", "leaves the data folder"}},
        {"a level script named by a script by its absolute path",
         WriteOutsiders,
         [](GameSim& s) {
             WriteTextFile(s.Path("Scripts/GoOutside.lua"),
                           "G.LogicCreateLevel('" + OutsiderPath(s, "Outsider.lua") + "')\n");
             ScriptManager::Instance().RunScript("Scripts/GoOutside.lua");
             ExpectNothingOutsideRead(s);
         },
         {"Path refused", "Outsider.lua", "is absolute"}},
        {"a composition whose top element is misspelt",
         [](GameSim& s) {
             CopyChanged(s, "Compositions/Bomb.xml", "Compositions/Misspelt.xml", "<FileComposition>",
                         "<FileCompositiom>");
             Replace(s.Path("Compositions/Misspelt.xml"), "</FileComposition>", "</FileCompositiom>");
         },
         [](GameSim& s) { s.Cogs().Files().LoadCogFile("Compositions\\Misspelt.xml"); },
         {"Misspelt.xml", "unknown top element <FileCompositiom>"}},
        {"a font whose widths leave their cell",
         [](GameSim& s) {
             std::string widths = ReadTextFile(s.Path("Fonts/Default.dat"));
             widths[2 * ('A' - 32)] = char(0x9C);
             WriteTextFile(s.Path("Fonts/Damaged.dat"), widths);
         },
         [&device](GameSim&) {
             BitmapFont font(device.get());
             EXPECT_TRUE(font.Load("Fonts/Default.dds", "Fonts/Damaged.dat"));
             EXPECT_EQ(font.GetGlyphWidth('A'), font.GetCellWidth()) << "the damaged file is not used";
         },
         {"Damaged.dat", "glyph 33 the width -100, outside its"}},
        {"a level file naming an object type that does not exist",
         [](GameSim& s) { Replace(s.Path("Levels/L2.bin"), "tree", "tbee"); },
         [](GameSim& s) { s.Run("LogicCreateLevel Scripts\\Levels\\L2.lua"); },
         {"L2.bin", "no object \"tbee\""}},
        {"a script over the read cap",
         [](GameSim& s) {
             WriteTextFile(s.Path("Scripts/Huge.lua"), "x=1\n");
             fs::resize_file(s.Path("Scripts/Huge.lua"), kMaxDataFileBytes + 1); // sparse
         },
         [](GameSim&) { ScriptManager::Instance().RunScript("Scripts/Huge.lua"); },
         {"File too large to read", "Huge.lua"}},
        {"a sound bank naming a sound beside the data folder",
         [](GameSim& s) {
             fs::copy_file(s.Path("Sounds/Activate.wav"), s.Path("../Outsider.wav"));
             WriteTextFile(s.Path("Config/OutsideBank.xml"),
                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\"><SoundBank>"
                           "<list name=\"Sounds\" size=\"1\" type=\"Sound\"><Sound><string name=\"Name\">Out</string>"
                           "<list name=\"Files\" size=\"1\" type=\"file\"><file>..\\Outsider.wav</file></list>"
                           "<real name=\"Volume\">1</real><bool name=\"Loop\">false</bool>"
                           "<real name=\"ReferenceDistance\">150</real><real name=\"MaxDistance\">1000</real>"
                           "</Sound></list></SoundBank></Stream>\n");
         },
         [](GameSim&) {
             SoundBank bank;
             bank.Load("Config/OutsideBank.xml");
             EXPECT_EQ(bank.Find("Out"), -1);
         },
         {"Path refused", "Outsider.wav", "leaves the data folder"},
         true},
        {"an effect naming a shader file by its absolute path",
         [](GameSim& s) {
             WriteTextFile(s.Path("../Outsider.vert"), "void main() {}\n");
             WriteTextFile(s.Path("Shaders/Outside.fx"),
                           "<Effect><Technique name=\"T\"><Pass vertex=\"" + OutsiderPath(s, "Outsider.vert") +
                               "\" fragment=\"Shaders/Outside.frag\"/></Technique></Effect>");
         },
         [&device](GameSim&) {
             std::string errors;
             EXPECT_EQ(FxEffect::FromFile(*device, "Shaders/Outside.fx", nullptr, errors), nullptr);
             EXPECT_NE(errors.find("cannot read"), std::string::npos) << errors;
         },
         {"Path refused", "Outsider.vert", "is absolute"},
         true},
        {"a widget file naming a texture beside the data folder",
         [](GameSim& s) {
             CopyChanged(s, "MenuData/MainMenu.xml", "MenuData/Outside.xml", "<texture name=\"Image\"></texture>",
                         "<texture name=\"Image\">../../Outsider.png</texture>");
         },
         [&textures](GameSim&) {
             RegisterGuiWidgetTypes();
             EXPECT_NE(LoadWidgetFile("MenuData/Outside.xml", nullptr), nullptr) << "the rest of the file loads";
             EXPECT_EQ(textures.Find("../../Outsider.png"), nullptr);
         },
         {"Path refused", "Outsider.png", "leaves the data folder"},
         true},
        {"a widget file naming a texture by its absolute path",
         [](GameSim& s) {
             fs::copy_file(s.Path("Textures/stars.bmp"), s.Path("../Outsider.bmp"));
             CopyChanged(s, "MenuData/MainMenu.xml", "MenuData/Outside.xml", "<texture name=\"Image\"></texture>",
                         "<texture name=\"Image\">" + OutsiderPath(s, "Outsider.bmp") + "</texture>");
         },
         [&textures](GameSim& s) {
             EXPECT_NE(LoadWidgetFile("MenuData/Outside.xml", nullptr), nullptr);
             EXPECT_EQ(textures.Find(OutsiderPath(s, "Outsider.bmp")), nullptr);
         },
         {"Path refused", "Outsider.bmp", "is absolute"},
         true},
        {"a cog file naming its widget file beside the data folder",
         [](GameSim& s) {
             WriteTextFile(s.Path("../Outsider.xml"), ReadTextFile(s.Path("MenuData/MainMenu.xml")));
             auto panel = std::make_shared<Composer>(s.Cogs(), "OutsidePanel", "Gui");
             panel->AddComponent(WidgetComp::kTypeId, WidgetComp::Factory());
             s.Cogs().Types().RegisterType("OutsidePanel", panel);
             WriteTextFile(
                 s.Path("Data/OutsidePanel.xml"),
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">"
                 "<cog CogID=\"OutsidePanel\"><string name=\"cogname\">Panel</string><comp name=\"WidgetComp\" "
                 "CompID=\"11\">"
                 "<file name=\"WidgetFile\">..\\Outsider.xml</file><file name=\"ScriptFile\"></file>"
                 "<int name=\"Layer\">2</int><bool name=\"Active\">true</bool></comp></cog></Stream>\n");
         },
         [](GameSim& s) {
             Cog* cog = s.Cogs().Create("Data/OutsidePanel.xml");
             ASSERT_NE(cog, nullptr);
             EXPECT_EQ(cog->Get<WidgetComp>()->GetRoot(), nullptr);
         },
         {"Path refused", "Outsider.xml", "leaves the data folder"},
         true},
        {"a cog file naming its model by its absolute path",
         [](GameSim& s) {
             fs::copy_file(s.Path("Models/Wall.lmf"), s.Path("../Outsider.lmf"));
             CopyChanged(s, "Data/Wall.xml", "Data/OutsideWall.xml", "Models/Wall.lmf",
                         OutsiderPath(s, "Outsider.lmf"));
         },
         [](GameSim& s) { EXPECT_NE(s.Cogs().Create("Data/OutsideWall.xml"), nullptr); },
         {"Path refused", "Outsider.lmf", "is absolute"},
         true},
        {"a cog file whose material list leaves the data folder",
         [](GameSim& s) {
             fs::copy_file(s.Path("Materials/Wall.xml"), s.Path("../OutsiderMaterial.xml"));
             CopyChanged(s, "Data/Wall.xml", "Data/OutsideWall.xml", "Materials/Wall.xml",
                         "Materials/../../OutsiderMaterial.xml");
         },
         [](GameSim& s) { EXPECT_NE(s.Cogs().Create("Data/OutsideWall.xml"), nullptr); },
         {"Path refused", "OutsiderMaterial.xml", "leaves the data folder"},
         true},
        {"a font list naming a font texture beside the data folder",
         [](GameSim& s) {
             fs::copy_file(s.Path("Fonts/Default.dds"), s.Path("../Outsider.dds"));
             CopyChanged(s, "Config/GuiConfig.xml", "Config/OutsideGui.xml", "Fonts/Default.dds",
                         "Fonts/../../Outsider.dds");
         },
         [&device](GameSim&) {
             FontList fonts;
             ASSERT_EQ(fonts.Load("Config/OutsideGui.xml", device.get()), 2u) << "the entry keeps its place";
             EXPECT_TRUE(fonts.Get(0)->HasTexture());
             EXPECT_FALSE(fonts.Get(1)->HasTexture());
         },
         {"Path refused", "Outsider.dds", "leaves the data folder"},
         true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mName);
        c.mBreak(sim);
        const uint32_t mark = Console::Instance().GetEntryCounter();
        const auto start = std::chrono::steady_clock::now();
        c.mLoad(sim);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "refused before decoding";
        const std::vector<std::string> errors = LogCapture(mark).Errors();
        EXPECT_TRUE(std::any_of(errors.begin(), errors.end(), [&](const std::string& e) {
            return HoldsAll(e, c.mLine);
        })) << ::testing::PrintToString(errors);
        if (c.mOnlyOne)
        {
            EXPECT_EQ(std::count_if(errors.begin(), errors.end(),
                                    [&](const std::string& e) { return e.find(c.mLine[1]) != std::string::npos; }),
                      1)
                << ::testing::PrintToString(errors);
        }
    }
}
