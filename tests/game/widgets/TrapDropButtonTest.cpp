#include <filesystem>
#include <fstream>

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/factory/CompFactory.h"
#include "game/widgets/TrapDropButton.h"
#include "gui/WidgetFile.h"
#include "input/IOLoom.h"
#include "tests/LOOM/support/TestComp.h"
#include "tests/game/GameSim.h"

namespace {
// Records every "TrapSelect" its cog receives.
class SelectRecorder : public TestComp<990, "SelectRecorder">
{
public:
    void TrapSelect(std::string name) { sSelected.push_back(std::move(name)); }
    static inline std::vector<std::string> sSelected;
};

class SelectRecorderFactory : public CompFactoryOf<SelectRecorder>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("TrapSelect", MakeCompFunctor(SelectRecorder::kTypeId, &SelectRecorder::TrapSelect));
    }
};
SelectRecorderFactory gSelectRecorderFactory;

SDL_Event Press(Uint32 type)
{
    SDL_Event e{};
    e.type = type;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    return e;
}

Cog* HudCog(GameSim& sim)
{
    sim.Cogs().Types().RegisterComponent(SelectRecorder::kTypeId, &gSelectRecorderFactory);
    sim.AddComposition("TestHud", "huds", {1, 990});
    return sim.Cogs().Create("TestHud");
}
} // namespace

TEST(TrapDropButton, LoadsFromItsFileAndDressesForItsKind)
{
    GameSim sim;
    std::unique_ptr<Widget> widget = LoadWidgetFile("MenuData/TrapDropButton.xml", nullptr);
    ASSERT_NE(widget, nullptr);
    auto* button = dynamic_cast<TrapDropButton*>(widget.get());
    ASSERT_NE(button, nullptr) << "the factory builds the game's button";
    button->SetTrap("hammer");
    const TrapInfo& info = sim.Data().GetTrapInfo("hammer");
    EXPECT_EQ(button->GetTrapType(), "hammer");
    EXPECT_EQ(button->GetKeyText(), std::string(1, info.trapKey));
    EXPECT_EQ(button->GetCost(), info.creditCost);
    const std::string tip =
        "hammer\nCost: " + std::to_string(info.creditCost) + "\nDescription: " + info.trapDescription;
    EXPECT_EQ(button->GetDescription(button->GetName()), tip);
    EXPECT_EQ(button->GetDescription("another"), "");

    // Credits equal to the cost: white; one short: tinted.
    const Color even = button->TintFor(info.creditCost);
    const Color shy = button->TintFor(info.creditCost - 1);
    EXPECT_EQ(even, Color(1, 1, 1, 1));
    EXPECT_EQ(shy, Color(1, 0, 1, 1));

    // An animation file that is not there changes nothing.
    button->Motion().SetFile("Anims/None.xml", 0);
    button->SetTrap("spikes");
    EXPECT_EQ(button->GetTrapType(), "spikes");
    EXPECT_EQ(button->GetCost(), sim.Data().GetTrapInfo("spikes").creditCost);
}

TEST(TrapDropButton, APressUnderTheMouseSendsTrapSelectOnce)
{
    GameSim sim;
    Cog* hud = HudCog(sim);
    ASSERT_NE(hud, nullptr);
    std::unique_ptr<IOLoom> io(IOLoom::Create());
    ASSERT_NE(io, nullptr);
    io->Init();
    io->SetScreenSize(800, 600);
    SelectRecorder::sSelected.clear();

    TrapDropButton button;
    button.SetOwner(hud->GetID());
    button.SetTrap("spring");

    // Pressed while the mouse is elsewhere: nothing.
    io->HandleEvent(Press(SDL_MOUSEBUTTONDOWN));
    io->Update();
    button.Update(0.016f);
    EXPECT_TRUE(SelectRecorder::sSelected.empty());
    io->HandleEvent(Press(SDL_MOUSEBUTTONUP));
    io->Update();

    button.OnMouseEnter();
    io->HandleEvent(Press(SDL_MOUSEBUTTONDOWN));
    for (int frame = 0; frame < 3; ++frame)
    {
        io->Update();
        button.Update(0.016f);
    }
    ASSERT_EQ(SelectRecorder::sSelected.size(), 1u) << "held down, it sends once";
    EXPECT_EQ(SelectRecorder::sSelected[0], "spring");
    button.OnMouseLeave();
    io->HandleEvent(Press(SDL_MOUSEBUTTONUP));
    io->Update();
    io->HandleEvent(Press(SDL_MOUSEBUTTONDOWN));
    io->Update();
    button.Update(0.016f);
    EXPECT_EQ(SelectRecorder::sSelected.size(), 1u);
    io->Shutdown();
}
