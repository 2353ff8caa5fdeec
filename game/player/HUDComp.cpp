#include "game/player/HUDComp.h"

#include <cmath>
#include <utility>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "game/components/GameComponents.h"
#include "game/level/Wall.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"
#include "game/logic/OwnedCommands.h"
#include "game/player/GameCamera.h"
#include "game/player/LogicCommands.h"
#include "game/player/PlayerServices.h"
#include "game/tower/BaseTower.h"
#include "game/widgets/TrapDropButton.h"
#include "graphics/guisystem/GuiSystem.h"
#include "gui/Widget.h"
#include "gui/WidgetComp.h"
#include "gui/WidgetFile.h"
#include "gui/widgets/Widgets.h"

namespace {
class HUDFactory : public CompFactoryOf<HUDComp>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("TrapSelect", MakeCompFunctor(HUDComp::kTypeId, &HUDComp::TrapSelect));
        composer.BindMessage("EnterLevel", MakeCompFunctor(HUDComp::kTypeId, &HUDComp::EnterLevel));
        composer.BindMessage("HideLevelVictoryWindow",
                             MakeCompFunctor(HUDComp::kTypeId, &HUDComp::HideLevelVictoryWindow));
        composer.BindMessage("CreateTrapButtons", MakeCompFunctor(HUDComp::kTypeId, &HUDComp::CreateTrapButtons));
        composer.BindMessage("MiniMapMove", MakeCompFunctor(HUDComp::kTypeId, &HUDComp::MiniMapMove));
        composer.BindMessage("ZoomToTower", MakeCompFunctor(HUDComp::kTypeId, &HUDComp::ZoomToTower));
        composer.AddOwnedUpdate(MakeCompFunctor(HUDComp::kTypeId, &HUDComp::Update));
    }
};

HUDFactory gHUDFactory;

// The console's press of a trap button.
void SelectTrapByName(std::string kind)
{
    if (DataController* data = Data())
        data->SelectTrap(std::move(kind));
}

template <typename T>
T* WidgetAs(WidgetComp* widgets, const std::string& name, const char* typeName)
{
    Widget* widget = widgets ? widgets->Find(name) : nullptr;
    return widget && widget->GetTypeName() == typeName ? static_cast<T*>(widget) : nullptr;
}
} // namespace

void RegisterHUDComp(CogFactory& cogs) { cogs.Types().RegisterComponent(HUDComp::kTypeId, &gHUDFactory); }

void RegisterHUDCommands(OwnedCommands& commands)
{
    commands.Register("TrapSelect", MakeFunctionCommand(&SelectTrapByName),
                      "Selects a trap to drop by its name, as its button does");
}

HUDComp::~HUDComp() { ClearPlayerStats(); }

void HUDComp::Serialize(Serializer& s) { SerializeHeader(s); }

void HUDComp::Initialize()
{
    mWidgets = mOwner ? mOwner->Get<WidgetComp>() : nullptr;
    if (!mWidgets)
        Console::Instance().Log("HUDComp: the HUD cog has no WidgetComp", LogError);
    CreateTrapButtons();
}

float HUDComp::MapAngle(const Vector3& view)
{
    Vector3 f(view.x, 0.0f, view.z);
    if (f.Length() == 0.0f)
        return std::nanf("");
    f.Normalize();
    float angle = std::acos(std::fmax(-1.0f, std::fmin(1.0f, f.z)));
    if (f.x > 0.0f)
        angle = 6.28f - angle;
    return angle;
}

std::string HUDComp::KillsText(int32_t kills, int32_t maxKills)
{
    std::string text = std::to_string(kills);
    if (maxKills > 0)
        text += " / " + std::to_string(maxKills);
    return text;
}

void HUDComp::Update()
{
    if (!mWidgets)
        return;
    if (CurrentGameState() != StateInLevel)
    {
        mWidgets->SetActive(false);
        return;
    }
    RefreshMiniMap();
    RefreshTowerHealth();
    RefreshCounters();
    UpdateToolBar();
}

void HUDComp::RefreshMiniMap()
{
    float width = 0.0f;
    float depth = 0.0f;
    MapImageBox* map = WidgetAs<MapImageBox>(mWidgets, "MiniMapImageBox", "MapImageBox");
    if (!map || !MapExtent(width, depth) || width <= 0.0f || depth <= 0.0f)
        return;
    map->ClearIcons();
    auto addIcon = [&](int32_t kind, const Vector3& p) { map->AddIcon(kind, p.x / width, p.z / depth); };
    Vector3 eye;
    Vector3 view;
    if (ActiveView(eye, view))
    {
        // A vertical view has no heading: the map keeps the last one.
        const float angle = MapAngle(view);
        if (!std::isnan(angle))
            mMapAngle = angle;
        map->SetAngle(mMapAngle);
        addIcon(3, eye);
    }
    if (const Positional* cursor = PosOf(FindCog("Cursor")))
        addIcon(3, cursor->GetPosition());
    if (const DataController* data = Data())
    {
        for (Comp* invader : data->mInvaders)
            if (const Positional* p = invader->GetOwnerPositional())
                addIcon(0, p->GetPosition());
        for (Comp* trap : data->mTraps)
            if (const Positional* p = trap->GetOwnerPositional())
                addIcon(1, p->GetPosition());
        for (Wall* w : data->mWalls)
            if (const Positional* p = w->GetOwnerPositional())
                addIcon(2, p->GetPosition());
        // The ledge is stone the invaders must cross, drawn as the walls are; a broken stone goes.
        if (data->mLevelGeneration != mLedgeGeneration)
            FindLedgeStones(data->mLevelGeneration);
        for (uint32_t id : mLedgeStones)
            if (const Positional* p = PosOf(CogFactory::Instance().GetCog(id)))
                addIcon(2, p->GetPosition());
    }
    if (const Positional* tower = PosOf(FindCog("Tower")))
        addIcon(3, tower->GetPosition());
}

void HUDComp::FindLedgeStones(uint32_t generation)
{
    mLedgeGeneration = generation;
    mLedgeStones.clear();
    for (Cog* cog : CogFactory::Instance().GetGroupCogs("doodads"))
        if (const Damagable* stone = cog->Get<Damagable>(); stone && stone->spawnName == "step")
            mLedgeStones.push_back(cog->GetID());
}

void HUDComp::RefreshTowerHealth()
{
    float value = 0.0f;
    const Cog* towerCog = FindCog("Tower");
    if (const BaseTower* tower = towerCog ? towerCog->Get<BaseTower>() : nullptr; tower && tower->MaxHP > 0.0f)
        value = tower->hitPoints / tower->MaxHP;
    mWidgets->SetGuiFloat("TowerHealth", value);
}

void HUDComp::SetText(const char* widget, const std::string& text) { mWidgets->Message(widget, "SetText", text); }

void HUDComp::RefreshCounters()
{
    const DataController* data = Data();
    if (!data)
        return;
    char text[32];
    std::snprintf(text, sizeof(text), "%d", data->GetPoints());
    if (mCredits != text)
    {
        mCredits = text;
        SetText("CreditsNum", mCredits);
    }
    if (data->mMaxKills > 0)
        std::snprintf(text, sizeof(text), "%d / %d", data->GetKills(), data->mMaxKills);
    else
        std::snprintf(text, sizeof(text), "%d", data->GetKills());
    if (mKills != text)
    {
        mKills = text;
        SetText("KillsNum", mKills);
    }
    const double seconds = gCoreEngine ? gCoreEngine->GetGameClock().GetTime() : 0.0;
    const long long total =
        std::isfinite(seconds) && seconds > 0.0 && seconds < 9.0e18 ? static_cast<long long>(seconds) : 0;
    std::snprintf(text, sizeof(text), "%lld:%02lld:%02lld", total / 3600, (total / 60) % 60, total % 60);
    if (mTime != text)
    {
        mTime = text;
        SetText("TimeNum", mTime);
    }
}

void HUDComp::UpdateToolBar()
{
    ToolBar* bar = WidgetAs<ToolBar>(mWidgets, "TrapDropToolBar", "ToolBar");
    if (mToolBarMayClose)
    {
        if (bar)
            bar->Hide();
        mToolBarMayClose = false;
    }
    if (!MousePressed(2))
        mToolBarMayClose = true;
    const int width = ScreenWidth();
    const int height = ScreenHeight();
    if (MouseTriggered(2) && bar && width > 0 && height > 0)
    {
        bar->SetGuiPosition(2.0f * static_cast<float>(MouseX()) / static_cast<float>(width) - 1.0f,
                            0.75f - 1.5f * static_cast<float>(MouseY()) / static_cast<float>(height));
        bar->Show();
    }
}

void HUDComp::CreateTrapButtons()
{
    DataController* data = Data();
    if (!mWidgets || !data)
        return;
    for (const char* barName : {"TrapDropToolBar", "TrapDropToolBar2"})
    {
        ToolBar* bar = WidgetAs<ToolBar>(mWidgets, barName, "ToolBar");
        if (!bar)
            continue;
        bar->ClearItems();
        mWidgets->Message("TrapDropComboBox", "ClearData", "");
        for (const std::string& kind : data->mTrapOrder)
        {
            if (!data->HasTrapInfo(kind))
            {
                Console::Instance().Log(
                    "HUDComp: the trap order names \"" + kind + "\", which the trap data lacks; no button", LogError);
                continue;
            }
            if (!data->IsTrapEnabled(kind))
                continue;
            std::unique_ptr<Widget> button = LoadWidgetFile("MenuData/TrapDropButton.xml", mOwner);
            if (!button || button->GetTypeName() != "TrapDropButton")
            {
                Console::Instance().Log("HUDComp: \"MenuData/TrapDropButton.xml\" gives no trap button; \"" + kind +
                                            "\" is skipped",
                                        LogError);
                continue;
            }
            static_cast<TrapDropButton&>(*button).SetTrap(kind);
            bar->AddItem(std::move(button));
            mWidgets->Message("TrapDropComboBox", "AddData", TrapDisplayName(kind));
        }
    }
}

void HUDComp::EnterLevel()
{
    if (mWidgets)
        mWidgets->SetActive(true);
    CreateTrapButtons();
}

void HUDComp::TrapSelect(std::string kind)
{
    if (DataController* data = Data())
        data->SelectTrap(kind);
}

void HUDComp::HideLevelVictoryWindow()
{
    if (mWidgets)
        mWidgets->Message("LevelVictoryConditionWindow", "Hide", "");
    if (GuiSystem* gui = PlayerGui())
        gui->Mouse().OnlyShowOnGui(true);
    if (LogicLoom* logic = LogicLoom::Instance())
        logic->SetCursorActive(true);
    // Start sets the clock going, even when the player paused it in the menus; a level over
    // before the window closed stays still.
    if (gCoreEngine)
        gCoreEngine->StartLevelClock();
}

void HUDComp::ZoomToTower()
{
    Cog* camera = FindCog("Camera");
    const Positional* tower = PosOf(FindCog("Tower"));
    if (!camera || !tower)
        return;
    if (GameCamera* view = camera ? camera->Get<GameCamera>() : nullptr)
        view->LookAtPosition(tower->GetPosition());
}

void HUDComp::MiniMapMove(Vector3 at)
{
    Cog* camera = FindCog("Camera");
    Positional* place = PosOf(camera);
    float width = 0.0f;
    float depth = 0.0f;
    if (!place || !MapExtent(width, depth))
        return;
    GameCamera* view = camera->Get<GameCamera>();
    if (view && !view->mMoveEnabled)
        return;
    const Vector3 target(at.x * width, 0.0f, (1.0f - at.y) * depth);
    // The clicked point comes to the middle of the view, not under the camera: under it, a point
    // near the map's edge would leave the view looking past the field. Near an edge the view
    // stops short of it, so that the field fills the screen.
    if (view)
    {
        view->LookOverField(target);
        return;
    }
    Vector3 p = place->GetPosition();
    p.x = target.x;
    p.z = target.z;
    place->StorePosition(p);
}

bool ShowTextPopup(int32_t size, const std::string& text, const Color& color, float fadeIn, float hold, float fadeOut)
{
    if (size != LargeTextPopup && size != SmallTextPopup)
    {
        Console::Instance().Log("TextPopup: no pop-up of size " + std::to_string(size) + " (0 large, 1 small)",
                                LogError);
        return false;
    }
    Cog* hud = FindCog("HUD");
    WidgetComp* widgets = hud ? hud->Get<WidgetComp>() : nullptr;
    const char* name = size == LargeTextPopup ? "LargeTextPopup" : "SmallTextPopup";
    PopupText* popup = WidgetAs<PopupText>(widgets, name, "PopupText");
    if (!popup)
    {
        // Outside a level there is no HUD; a HUD without the widget is a data fault worth a line.
        if (widgets)
            Console::Instance().Log(
                std::string("HUDComp: the HUD has no PopupText \"") + name + "\" for \"" + text + "\"", LogError);
        return false;
    }
    popup->Pop(text, color, fadeIn, hold, fadeOut);
    return true;
}
