#include "LOOM/engine/CoreRegistrations.h"

#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/engine/TimedCallList.h"
#include "LOOM/factory/CogFactory.h"

namespace {
void Death(Cog* cog) { cog->Destroy(); }

void TestFunc(Cog*) { Console::Instance().Log("Test Func Fired", LogGeneral); }

void TestConstruct(Cog*) { Console::Instance().Log("Constructed", LogGeneral); }

void TestDestroy(Cog*) { Console::Instance().Log("Destroyed", LogGeneral); }
} // namespace

void RegisterCoreFunctions(CogFactory& cogs, std::function<TimedCallList*()> timedCalls)
{
    RegisterPositional(cogs);
    cogs.Types().RegisterFunction("Death", MakeCogFunctor(&Death));
    // One entry per cog: the entry itself calls "AutoFire" again every frame.
    cogs.Types().RegisterFunction("AutoFire", MakeCogFunctor([timedCalls = std::move(timedCalls)](Cog* cog) {
                                      TimedCallList* list = timedCalls ? timedCalls() : nullptr;
                                      if (list && !list->Has(cog->GetID(), "AutoFire"))
                                          list->Add(*cog, 0, "AutoFire", 0);
                                  }));
    cogs.Types().RegisterFunction("TestFunc", MakeCogFunctor(&TestFunc));
    cogs.Types().RegisterFunction("TestConstruct", MakeCogFunctor(&TestConstruct));
    cogs.Types().RegisterFunction("TestDestroy", MakeCogFunctor(&TestDestroy));
}

void RegisterCoreFunctions(CogFactory& cogs)
{
    RegisterCoreFunctions(cogs, [] { return gCoreEngine ? &gCoreEngine->GetTimedCalls() : nullptr; });
}
