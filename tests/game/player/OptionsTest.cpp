#include <gtest/gtest.h>

#include <AL/al.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "LOOM/script/ScriptManager.h"
#include "game/player/SceneBinding.h"
#include "gui/WidgetComp.h"
#include "gui/widgets/Widgets.h"
#include "tests/game/player/PlayerSim.h"
#include "tests/input/LogProbe.h"

namespace {
// The shipped game as the program starts it: the real data folder and start script with its
// menus, graphics and the GUI on the offscreen window, the program's scene binding and the
// audio loom on the null device.
class ProgramOptions : public ::testing::Test, public PlayerWorld
{
protected:
    ProgramOptions() { SetSceneSeam(&mScene); }
    ~ProgramOptions() override { SetSceneSeam(nullptr); }

    void Script(const std::string& text)
    {
        std::ofstream(mSim.Path("Scripts/Probe.lua"), std::ios::binary) << text;
        ScriptManager::Instance().RunScript("Scripts/Probe.lua");
    }

    GameSim mSim{GameDataFolder(), 7, &PlayerSim::AddLooms};
    SceneBinding mScene;
};
} // namespace

// The options act at once on the graphics and audio looms and are kept in the options file,
// which the next start reads back; the theme plays under the menus. A missing or broken file
// gives the defaults and says so.
TEST_F(ProgramOptions, OptionsActOnTheLoomsAndComeBackWithTheNextStart)
{
    AudioLoom& audio = *AudioLoom::Instance();
    ASSERT_TRUE(audio.HasDevice()) << "the suite runs on the null device";
    const std::string file = mSim.Path("Options.txt");
    // The program's own start script, menus included, from here on.
    EngineConfig::Instance().mStartupScript = "Scripts\\Game.lua";
    auto restart = [&] {
        mSim.Run("restart");
        mSim.Step(2);
    };
    auto gain = [] {
        ALfloat value = -1.0f;
        alGetListenerf(AL_GAIN, &value);
        return value;
    };
    auto themePlaying = [&] {
        ALint state = 0;
        alGetSourcei(audio.GetMusic().GetSource(), AL_SOURCE_STATE, &state);
        return state == AL_PLAYING && audio.GetMusic().GetFile() == "Music/Theme.ogg";
    };
    // The looms as the options left them; the theme plays whatever its volume.
    auto expectOptions = [&](bool shadows, float volume) {
        EXPECT_EQ(GraphicsLoom::Instance()->GetToggles().mShadows, shadows);
        EXPECT_FLOAT_EQ(gain(), volume);
        EXPECT_TRUE(themePlaying());
    };
    auto widget = [&](const char* name) -> Widget* {
        Cog* menu = mSim.Cogs().FindCogByName("MainMenu");
        WidgetComp* widgets = menu ? menu->Get<WidgetComp>() : nullptr;
        return widgets ? widgets->Find(name) : nullptr;
    };

    {
        LogProbe log;
        restart();
        EXPECT_EQ(log.Count("No Options.txt yet"), 1);
        expectOptions(true, 1.0f);
    }

    Script("SetShadowsOption(false)\nSetVolumeOption(0.25)\n");
    EXPECT_FALSE(GraphicsLoom::Instance()->GetToggles().mShadows);
    EXPECT_FLOAT_EQ(gain(), 0.25f);
    EXPECT_EQ(TempDir::Read(file), "Shadows=0\nVolume=0.25\n");
    mSim.Step(30);
    EXPECT_TRUE(themePlaying()) << "a quieter theme still plays";

    // Moved behind the options' back, the looms take the file's word at the next start.
    Script("G.SetShadows(true)\nG.SetVolume(1)\n");
    ASSERT_TRUE(GraphicsLoom::Instance()->GetToggles().mShadows);
    restart();
    expectOptions(false, 0.25f);
    Widget* check = widget("ShadowsCheck");
    Widget* slider = widget("VolumeSlider");
    ASSERT_TRUE(check && slider);
    EXPECT_FALSE(static_cast<CheckBox*>(check)->IsChecked());
    EXPECT_FLOAT_EQ(static_cast<Slider*>(slider)->GetValue(), 0.25f);

    for (const char* broken : {"Shadows=maybe\n", "\x01\x02 not options at all", "Shadows=0\nVolume=7\n"})
    {
        SCOPED_TRACE(broken);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << broken;
        LogProbe log;
        restart();
        EXPECT_EQ(log.Count("Options.txt is not an options file"), 1);
        expectOptions(true, 1.0f);
    }
}
