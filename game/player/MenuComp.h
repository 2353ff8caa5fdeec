#pragma once
#include <cstdint>
#include <string>

#include "LOOM/cogs/Comp.h"

class Cog;
class CogFactory;
class Widget;
class WidgetComp;

// The front-end and in-game menus (type id 120, on the cog "MainMenu" beside its WidgetComp):
// closes every window but the start window, runs the invader viewer, fills the game-over
// statistics, publishes the widget under the mouse and turns "Esc" into the script calls
// that open or leave the in-game menu.
class MenuComp : public Comp
{
public:
    static constexpr uint32_t kTypeId = 120;

    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "MenuComp"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Update();
    void ChangeAnimation();
    void NextInvader();
    void PreviousInvader();
    void InvaderTextureSelect(std::string look);
    void ResetInvader();
    void AnimateMenu();
    void UpdateGameOver();

    const std::string& GetViewedInvader() const { return mViewedInvader; }
    // One of the menu's windows is shown.
    bool WindowUp() const;

    // The material file and status icon of a status look for an invader kind.
    static std::string LookMaterial(const std::string& look, const std::string& invader);
    static std::string LookIcon(const std::string& look);

private:
    void StepInvader(bool forward);
    void ShowInvader();
    void ApplyStatusLook();
    void Send(const char* widget, const char* message, const std::string& argument);
    Cog* ModelCog();

    std::string mStatusLook = "basic";
    std::string mViewedInvader = "Normal";
    WidgetComp* mWidgets = nullptr;
    std::string mOver;
};

void RegisterMenuComp(CogFactory& cogs);
// A window of the "MainMenu" cog's menu is up (in a level: the in-game menu, the leave dialog or
// the game-over window); the game waits on it.
bool MenuWindowUp();
