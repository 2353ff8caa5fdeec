#include <gtest/gtest.h>

#include "game/logic/PhraseBank.h"
#include "tests/game/components/GameTestSeam.h"

// Every trap kind firing, explosions, a bomb, bubbles and drop previews alive when a soft
// restart destroys every cog: nothing may keep a dead cog's ID, and the next level runs.
TEST(SoftRestart, MidLevelWithEveryKindBubblesAndPreviewsIsClean)
{
    GameSim sim;
    KindSeam seam;
    sim.Data().SetPoints(100000);
    {
        InvaderField field(sim);
        field.Tower(5, 5);
        const char* kinds[] = {"Fan",       "Axe",     "Pit",        "Hammer",    "Spring",
                               "Satellite", "Missile", "PoisonMist", "BugZapper", "LaserTurret",
                               "LightBulb", "Flame",   "Vortex",     "Basic",     "StatusEffect"};
        int32_t x = 10;
        for (const char* kind : kinds)
        {
            Cog* grunt = field.Invader("grunt", x, 30);
            InvaderField::K(grunt).mRun.mPathing = FindPathingBehavior("NoPathing");
            Cog* trap = sim.Cogs().Allocate("spikes");
            InvaderField::T(trap).BehaviorName = kind;
            PosOf(trap)->SetPosition(field.Map().TileToWorldAligned(x, 30, 2, 2));
            trap->Initialize();
            x += 3;
        }
        CreateAt(sim.Cogs(), "Explosion", field.Centre(20, 30));
        CreateAt(sim.Cogs(), "bomb", field.Centre(30, 30) + Vector3(0, 20, 0));
        PhraseBank& bank = *sim.Logic().mPhraseBank;
        for (Cog* grunt : sim.Cogs().GetGroupCogs("invaders"))
            bank.ShowBubble("Data/Effects/SpeechBubble.xml", static_cast<int32_t>(grunt->GetID()), "boo");
        DropPreview& preview = sim.Data().mDropPreview;
        ASSERT_TRUE(preview.SelectTrap("wall"));
        preview.Update(field.Centre(40, 40));
        preview.BeginLine();
        preview.Update(field.Centre(45, 40));
        sim.Step(90);
        EXPECT_GT(bank.BubbleCount(), 0u);
        sim.Run("SoftRestart");
        sim.Step();
        EXPECT_EQ(bank.BubbleCount(), 0u);
        EXPECT_EQ(preview.PreviewCog(), nullptr);
        EXPECT_TRUE(preview.LinePreviews().empty());
    }
    // A new level with the same kinds runs on.
    InvaderField again(sim);
    Cog* grunt = again.Invader("grunt", 20, 20);
    InvaderField::K(grunt).mRun.mPathing = FindPathingBehavior("NoPathing");
    Cog* trap = sim.Cogs().Allocate("spikes");
    InvaderField::T(trap).BehaviorName = "Vortex";
    PosOf(trap)->SetPosition(again.Map().TileToWorldAligned(20, 20, 2, 2));
    trap->Initialize();
    sim.Step(120);
    ASSERT_TRUE(sim.Data().mDropPreview.SelectTrap("spikes"));
    sim.Data().mDropPreview.Update(again.Centre(30, 30));
    EXPECT_NE(sim.Data().mDropPreview.PreviewCog(), nullptr);
}
