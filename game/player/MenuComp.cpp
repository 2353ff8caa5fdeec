#include "game/player/MenuComp.h"

#include <iterator>
#include <map>

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/script/ScriptManager.h"
#include "LOOM/serial/Serializer.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"
#include "game/logic/ModelSeam.h"
#include "game/player/PlayerServices.h"
#include "graphics/guisystem/GuiSystem.h"
#include "gui/Widget.h"
#include "gui/WidgetComp.h"
#include "gui/widgets/ModelView.h"
#include "input/IOLoom.h"

namespace {
class MenuFactory : public CompFactoryOf<MenuComp>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("ChangeAnimation", MakeCompFunctor(MenuComp::kTypeId, &MenuComp::ChangeAnimation));
        composer.BindMessage("NextInvader", MakeCompFunctor(MenuComp::kTypeId, &MenuComp::NextInvader));
        composer.BindMessage("PreviousInvader", MakeCompFunctor(MenuComp::kTypeId, &MenuComp::PreviousInvader));
        composer.BindMessage("InvaderTextureSelect",
                             MakeCompFunctor(MenuComp::kTypeId, &MenuComp::InvaderTextureSelect));
        composer.BindMessage("ResetInvader", MakeCompFunctor(MenuComp::kTypeId, &MenuComp::ResetInvader));
        composer.BindMessage("AnimateMenu", MakeCompFunctor(MenuComp::kTypeId, &MenuComp::AnimateMenu));
        composer.AddOwnedUpdate(MakeCompFunctor(MenuComp::kTypeId, &MenuComp::Update));
        composer.BindMessage("UpdateGameOver", MakeCompFunctor(MenuComp::kTypeId, &MenuComp::UpdateGameOver));
    }
};

MenuFactory gMenuFactory;

constexpr const char* kClosedAtStart[] = {"OptionsWindow", "CreditsWindow",     "BonusWindow",    "InvaderViewerWindow",
                                          "InGameWindow",  "LevelChoiceWindow", "GameOverWindow", "InGameExitWindow"};

bool Shown(WidgetComp* widgets, const char* name)
{
    const Widget* window = widgets ? widgets->Find(name) : nullptr;
    return window && window->IsActive();
}

// The HUD's window with the level's goal, up until the player starts the clock.
bool LevelGoalUp()
{
    Cog* hud = FindCog("HUD");
    return Shown(hud ? hud->Get<WidgetComp>() : nullptr, "LevelVictoryConditionWindow");
}
} // namespace

void RegisterMenuComp(CogFactory& cogs) { cogs.Types().RegisterComponent(MenuComp::kTypeId, &gMenuFactory); }

bool MenuWindowUp()
{
    Cog* menu = FindCog("MainMenu");
    const MenuComp* comp = menu ? menu->Get<MenuComp>() : nullptr;
    return comp && comp->WindowUp();
}

bool MenuComp::WindowUp() const
{
    if (!mWidgets || !mWidgets->IsActive())
        return false;
    if (Shown(mWidgets, "StartWindow"))
        return true;
    for (const char* window : kClosedAtStart)
        if (Shown(mWidgets, window))
            return true;
    return false;
}

std::string MenuComp::LookMaterial(const std::string& look, const std::string& invader)
{
    if (look == "Blind")
        return "Materials/" + invader + "BlindMat.xml";
    if (look == "Dumb")
        return "Materials/" + invader + "DumbMat.xml";
    if (look == "Metallic")
        return "Materials/Metallic.xml";
    return "Materials/" + invader + "Mat.xml";
}

std::string MenuComp::LookIcon(const std::string& look)
{
    if (look == "Blind")
        return "Textures/StatusIcons/BLIND.png";
    if (look == "Dumb")
        return "Textures/StatusIcons/DUMB.png";
    if (look == "Metallic")
        return "Textures/StatusIcons/METAL.png";
    return "Textures/StatusIcons/AURA.png";
}

void MenuComp::Serialize(Serializer& s) { SerializeHeader(s); }

void MenuComp::Send(const char* widget, const char* message, const std::string& argument)
{
    if (mWidgets)
        mWidgets->Message(widget, message, argument);
}

void MenuComp::Initialize()
{
    if (GuiSystem* gui = PlayerGui())
        gui->Looks().ActivateBackground(0);
    mWidgets = mOwner ? mOwner->Get<WidgetComp>() : nullptr;
    if (!mWidgets)
    {
        Console::Instance().Log("MenuComp: the menu cog has no WidgetComp", LogError);
        return;
    }
    for (const char* window : kClosedAtStart)
        mWidgets->CloseWindow(window);
    // The viewer opens on a kind the game has: a blank default record shows no picture at all.
    if (const DataController* data = Data();
        data && !data->mInvaderInfo.empty() && data->mInvaderInfo.find(mViewedInvader) == data->mInvaderInfo.end())
        mViewedInvader = data->mInvaderInfo.begin()->first;
    ShowInvader();
    Send("TraitorImage", "setanimation", "talk");
    mWidgets->OpenWindow("StartWindow", false);
}

void MenuComp::Update()
{
    if (const GuiSystem* gui = PlayerGui(); gui && gui->Mouse().GetOverName() != mOver)
    {
        mOver = gui->Mouse().GetOverName();
        ScriptManager::Instance().SetGlobalString("GuiObjectOver", mOver);
    }
    const IOLoom* io = Input();
    if (CurrentGameState() != StateInLevel || !io || !io->IsKeyTriggeredByName("Esc") || !mWidgets)
        return;
    if (!mWidgets->Find("InGameWindow"))
        return;
    // Esc leaves the in-game menu or its leave dialog; it opens the menu only over the bare
    // field, so that one window is up at a time (not over the level's goal, say).
    const bool inGame = Shown(mWidgets, "InGameWindow") || Shown(mWidgets, "InGameExitWindow");
    if (!inGame && (WindowUp() || LevelGoalUp()))
        return;
    ParamBuffer params;
    ScriptManager::Instance().CallFunction(inGame ? "ResumeGame" : "OpenInGame", params);
}

void MenuComp::ShowInvader()
{
    // A kind the data lacks is shown from a default record, without adding it to the data.
    static const InvaderInfo kDefault;
    const DataController* data = Data();
    const InvaderInfo* record = &kDefault;
    if (data)
    {
        auto it = data->mInvaderInfo.find(mViewedInvader);
        if (it != data->mInvaderInfo.end())
            record = &it->second;
    }
    Send("InvaderConceptArt", "SetImage", record->invaderConceptArtFile);
    Send("InvaderIcon", "SetIndex", std::to_string(record->invaderIndex));
    Send("InvaderModel", "SetModel", record->invaderModelFile);
    ApplyStatusLook();
    Send("InvaderName", "SetText", mViewedInvader);
    Send("InvaderDesc", "SetText", record->invaderDescription);
    ChangeAnimation();
}

void MenuComp::ApplyStatusLook()
{
    Send("InvaderStatus", "SetImage", LookIcon(mStatusLook));
    Send("InvaderModel", "SetModelMaterial", LookMaterial(mStatusLook, mViewedInvader));
}

void MenuComp::InvaderTextureSelect(std::string look)
{
    mStatusLook = std::move(look);
    ApplyStatusLook();
}

Cog* MenuComp::ModelCog()
{
    Widget* view = mWidgets ? mWidgets->Find("InvaderModel") : nullptr;
    return view && view->GetTypeName() == "ModelView" ? static_cast<ModelView*>(view)->GetModelCog() : nullptr;
}

void MenuComp::ChangeAnimation()
{
    Widget* view = mWidgets ? mWidgets->Find("InvaderModel") : nullptr;
    if (!view)
        return;
    std::string name;
    if (Cog* model = ModelCog())
    {
        SceneModels().CycleAnimation(*model);
        SceneModels().CurrentAnimation(*model, name);
    }
    Send("AnimationName", "SetText", name);
}

void MenuComp::ResetInvader()
{
    if (Positional* place = PosOf(ModelCog()))
        place->SetOrientation(Quat(1.0f, 0.0f, 0.0f, 0.0f));
}

void MenuComp::NextInvader() { StepInvader(true); }

void MenuComp::PreviousInvader() { StepInvader(false); }

// Browses the invader records in name order, wrapping round at either end.
void MenuComp::StepInvader(bool forward)
{
    const DataController* data = Data();
    if (!data || data->mInvaderInfo.empty())
        return;
    const auto& kinds = data->mInvaderInfo;
    if (forward)
    {
        auto it = kinds.upper_bound(mViewedInvader);
        mViewedInvader = it == kinds.end() ? kinds.begin()->first : it->first;
    }
    else
    {
        auto it = kinds.lower_bound(mViewedInvader);
        mViewedInvader = it == kinds.begin() ? std::prev(kinds.end())->first : std::prev(it)->first;
    }
    ShowInvader();
}

void MenuComp::AnimateMenu()
{
    if (mWidgets)
        mWidgets->PlayWidgetAnimation("MenuWindow", "A");
}

void MenuComp::UpdateGameOver()
{
    const DataController* data = Data();
    if (!data)
        return;
    const LevelStats& stats = data->mStats;
    Send("ExitReason", "SetText", ExitReasonText(data->mGameState));
    Send("TimePlayed", "SetText", "Time Played: " + FormatGameClock());
    Send("PointsEarned", "SetText", "Points Earned: " + std::to_string(stats.pointsEarned));
    Send("PointsUsed", "SetText", "Points Used: " + std::to_string(stats.pointsUsed));
    Send("TrapKills", "SetText", "Kills by Traps: " + std::to_string(stats.trapKills));
    Send("SuicideKills", "SetText", "Invader Suicides: " + std::to_string(stats.suicides));
    Send("ExplosionKills", "SetText", "Explosion Kills: " + std::to_string(stats.explosionKills));
    Send("PhysicsKills", "SetText", "Physics Kills: " + std::to_string(stats.physicsKills));
    Send("StatusKills", "SetText", "Kills by Status Effects: " + std::to_string(stats.statusKills));
    Send("TotalKills", "SetText", "Total Kills: " + std::to_string(data->GetKills()));
}
