// Writes the game's level files into a data folder: make_levels <data folder>.
#include <cstdio>
#include <filesystem>
#include <memory>

#include "LOOM/base/FileUtils.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "audio/SoundComponents.h"
#include "game/logic/LogicLoom.h"
#include "game/player/PlayerBinding.h"
#include "graphics/scene/SceneComponents.h"
#include "physics/PhysicsLoom.h"
#include "tools/LevelBuilder.h"

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: make_levels <data folder>\n");
        return 2;
    }
    std::error_code ec;
    std::filesystem::current_path(argv[1], ec);
    if (ec)
    {
        std::fprintf(stderr, "make_levels: cannot enter %s\n", argv[1]);
        return 1;
    }
    SetDataPathFromCwd();
    std::filesystem::create_directories("Levels", ec);
    CogFactory& cogs = CogFactory::Instance();
    RegisterPositional(cogs);
    PhysicsLoom::RegisterComponents(cogs);
    RegisterAudioComponents(cogs);
    RegisterSceneComponents(cogs);
    static PlayerBinding player;
    SetPlayerSide(&player);
    std::unique_ptr<LogicLoom> logic(LogicLoom::Create());
    logic->RegisterTypes();
    logic->Init();
    bool built = BuildLevelOne(cogs);
    cogs.DestroyAll();
    built = built && BuildLevelTwo(cogs);
    cogs.DestroyAll();
    logic.reset();
    if (!built)
    {
        std::fprintf(stderr, "make_levels: the level could not be built\n");
        return 1;
    }
    std::printf("make_levels: wrote Levels/L1 and Levels/L2 (.xml and .bin)\n");
    return 0;
}
