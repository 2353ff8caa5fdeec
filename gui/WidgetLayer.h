#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/guisystem/GuiSystem.h"

class Widget;
class WidgetComp;

// The widget side of the GUI system: the widget components in drawing order, the hit test and
// the dispatch of the mouse to widgets, the mouse-over state and the edit mode. Widget
// components register themselves whether or not a GUI system exists.
class WidgetLayer : public GuiWidgetLayer
{
public:
    static std::unique_ptr<GuiWidgetLayer> Make();
    // The layer of the running GUI system, or null.
    static WidgetLayer* Current();

    WidgetLayer();
    ~WidgetLayer() override;
    WidgetLayer(const WidgetLayer&) = delete;
    WidgetLayer& operator=(const WidgetLayer&) = delete;

    void Update(GuiSystem& gui) override;
    void Render(GuiSystem& gui) override;
    std::string GetDescription() override;

    // Components in creation order; drawn by "Layer" (higher over lower), then that order.
    static void AddComp(WidgetComp* comp);
    static void RemoveComp(WidgetComp* comp);
    static const std::vector<WidgetComp*>& Comps();
    // A widget about to be deleted: no pointer to it stays.
    static void Forget(const Widget* widget);
    // Deleted now, or at the end of the dispatch when one is running.
    static void DeleteLater(std::unique_ptr<Widget> widget);
    static bool IsDispatching();
    // The mouse in GUI units as the last update saw it (handlers read it).
    static void MousePosition(float& x, float& y);

    // "GuiEdit": a press picks the topmost widget, a drag moves it, nothing else is dispatched.
    void SetEditMode(bool on) { mEditMode = on; }
    bool IsEditMode() const { return mEditMode; }
    // "GuiSave"; false when a file could not be saved.
    bool SaveAll();
    Widget* GetHover() const { return mHover; }
    // The left button's press that is down, or went up this frame, landed on a widget: the
    // click is the GUI's, wherever the pointer has gone since.
    bool TookPress() const { return mPressTaken; }
    // The topmost active widget at a point in GUI units, or null.
    Widget* HitTest(float x, float y);

private:
    // Active components, topmost first.
    void SortedComps(std::vector<WidgetComp*>& out, bool topFirst) const;
    void PressOutside(Widget* hit);
    static void PressOutsideTree(Widget& widget, Widget* hit);
    void RegisterCommands();

    Widget* mHover = nullptr;
    Widget* mPressed = nullptr;
    Widget* mEditTarget = nullptr;
    bool mEditMode = false;
    bool mPressTaken = false;
    float mLastX = 0.0f;
    float mLastY = 0.0f;
    std::vector<WidgetComp*> mSorted;
};
