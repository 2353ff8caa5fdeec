// The settings files: the same bytes through every settings reader, each under the name it reads.
#include "audio/AudioConfig.h"
#include "audio/SoundBank.h"
#include "fuzz/FuzzGraphics.h"
#include "game/logic/DataController.h"
#include "game/logic/PhraseBank.h"
#include "graphics/GraphicsSettings.h"
#include "graphics/effect/ShaderControl.h"
#include "graphics/guisystem/GuiSystem.h"
#include "graphics/model/animation/InverseKinematics.h"
#include "graphics/terrain/HeightMap.h"
#include "graphics/terrain/TerraTex.h"
#include "input/ControlSet.h"
#include "input/IOConfig.h"
#include "network/NetController.h"
#include "physics/PhysicsSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = [] {
        ShaderControl::SetFailureHandler([](const std::string&) {});
        return true;
    }();
    (void)ready;
    const auto file = [&](const char* name) { return WriteScratchFile(name, data, size); };
    AudioConfig audio;
    LoadAudioConfig(file("Config/AudioConfig.xml"), audio);
    SoundBank().Load(file("Config/SoundBank.xml"));
    ReadControlSet(file("Config/Controls.xml"));
    LoadIOConfig(file("Config/IOConfig.xml"));
    NetSettings().Load(file("Config/NetAd.xml"));
    std::filesystem::create_directories("Data");
    file(MapGenerationSettings::kFile);
    MapGenerationSettings().Load();
    TerraTex().Load(file("Config/TerraInfo.xml"));
    ShaderControl().LoadFrom(FuzzDevice(), file("Config/Methods.xml"));
    DataController().LoadGameData(file("Config/LogicData.xml"));
    PhraseBank phrases;
    LoadPhraseBank(phrases, file("Config/PhraseBank.xml"));
    file(PhysicsSettings::kFile);
    PhysicsSettings().Load();
    GraphicsSettings::Load(file("Graphics.xml"), 800, 600);
    ConstraintInfo constraints;
    LoadConstraintInfo(constraints, file("Data/Constraints.xml"));
    {
        GuiSystem gui;
        gui.SetConfigFile(file("Config/GuiConfig.xml"));
        gui.Init(&FuzzDevice(), 800, 600);
    }
    ResourceContext::Textures()->ReleaseAll();
    return 0;
}
