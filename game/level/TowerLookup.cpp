#include "game/level/TowerLookup.h"

#include <string>

#include "LOOM/calls/CogDirectory.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/factory/CogFactory.h"
#include "game/level/TileComp.h"

namespace tower_lookup {
Cog* gRemembered = nullptr;
TileComp* gFootprint = nullptr;
bool gFootprintKnown = false;
} // namespace tower_lookup

namespace {
TileComp* FootprintOf(Cog& cog) { return cog.Get<TileComp>(); }

// Trivially destructible on purpose: the cog manager is a function static too and may tell
// its listeners about the last cogs at exit, whichever of the two goes first.
class TowerForgetter final : public CogIdListener
{
public:
    void Listen()
    {
        if (mListening)
            return;
        CogFactory::Instance().AddIdListener(this);
        mListening = true;
    }
    // Any destroyed cog may have been the tower (its ID as kept by the manager need not be
    // the one it reports), and deaths are rare next to frames.
    void ForgetCog(uint32_t) override { tower_lookup::Forget(); }
    void ForgetAllCogs() override { tower_lookup::Forget(); }

private:
    bool mListening = false;
};

TowerForgetter gForgetter;
} // namespace

namespace tower_lookup {
Cog* LookUp()
{
    gForgetter.Listen();
    static const std::string kTower = "Tower";
    gRemembered = CogFactory::Instance().FindCogByName(kTower);
    gFootprintKnown = false;
    return gRemembered;
}

TileComp* LookUpFootprint(Cog& tower)
{
    if (&tower != gRemembered)
        return FootprintOf(tower);
    if (!gFootprintKnown)
    {
        gFootprint = FootprintOf(tower);
        gFootprintKnown = true;
    }
    return gFootprint;
}

void Forget()
{
    gRemembered = nullptr;
    gFootprint = nullptr;
    gFootprintKnown = false;
}
} // namespace tower_lookup
