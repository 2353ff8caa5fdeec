#include "gui/WidgetLayer.h"

#include <algorithm>

#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/engine/CoreEngine.h"
#include "gui/Widget.h"
#include "gui/WidgetComp.h"
#include "input/IOLoom.h"

namespace {

WidgetLayer* sCurrent = nullptr;
std::vector<WidgetComp*>& Registry()
{
    static std::vector<WidgetComp*> comps;
    return comps;
}
// Widgets deleted while the dispatch runs wait here for its end.
std::vector<std::unique_ptr<Widget>>& Graveyard()
{
    static std::vector<std::unique_ptr<Widget>> graveyard;
    return graveyard;
}
bool sDispatching = false;

void SetGuiEdit(bool on)
{
    if (sCurrent)
        sCurrent->SetEditMode(on);
}

bool GuiSave() { return sCurrent && sCurrent->SaveAll(); }

} // namespace

std::unique_ptr<GuiWidgetLayer> WidgetLayer::Make() { return std::make_unique<WidgetLayer>(); }

WidgetLayer* WidgetLayer::Current() { return sCurrent; }

WidgetLayer::WidgetLayer()
{
    sCurrent = this;
    RegisterCommands();
}

WidgetLayer::~WidgetLayer()
{
    if (sCurrent == this)
    {
        sCurrent = nullptr;
        Console::Instance().RemoveCommand("GuiEdit");
        Console::Instance().RemoveCommand("GuiSave");
    }
}

void WidgetLayer::RegisterCommands()
{
    Console& console = Console::Instance();
    console.RegisterCommand("GuiEdit", MakeFunctionCommand(&SetGuiEdit),
                            "Widget edit mode: drag widgets with the mouse");
    console.RegisterCommand("GuiSave", MakeFunctionCommand(&GuiSave), "Saves the widgets to their files");
}

void WidgetLayer::AddComp(WidgetComp* comp) { Registry().push_back(comp); }

void WidgetLayer::RemoveComp(WidgetComp* comp)
{
    auto& comps = Registry();
    comps.erase(std::remove(comps.begin(), comps.end(), comp), comps.end());
}

const std::vector<WidgetComp*>& WidgetLayer::Comps() { return Registry(); }

void WidgetLayer::Forget(const Widget* widget)
{
    if (!sCurrent)
        return;
    if (sCurrent->mHover == widget)
        sCurrent->mHover = nullptr;
    if (sCurrent->mPressed == widget)
        sCurrent->mPressed = nullptr;
    if (sCurrent->mEditTarget == widget)
        sCurrent->mEditTarget = nullptr;
}

void WidgetLayer::DeleteLater(std::unique_ptr<Widget> widget)
{
    if (!widget)
        return;
    if (sDispatching)
        Graveyard().push_back(std::move(widget));
    // else it goes now, as the unique pointer dies
}

bool WidgetLayer::IsDispatching() { return sDispatching; }

void WidgetLayer::MousePosition(float& x, float& y)
{
    x = sCurrent ? sCurrent->mLastX : 0.0f;
    y = sCurrent ? sCurrent->mLastY : 0.0f;
}

void WidgetLayer::SortedComps(std::vector<WidgetComp*>& out, bool topFirst) const
{
    out.clear();
    for (WidgetComp* comp : Registry())
        if (comp->IsActive() && comp->GetRoot())
            out.push_back(comp);
    std::stable_sort(out.begin(), out.end(), [](const WidgetComp* a, const WidgetComp* b) {
        return a->GetLayer() != b->GetLayer() ? a->GetLayer() < b->GetLayer() : a->GetOrder() < b->GetOrder();
    });
    if (topFirst)
        std::reverse(out.begin(), out.end());
}

Widget* WidgetLayer::HitTest(float x, float y)
{
    SortedComps(mSorted, true);
    for (WidgetComp* comp : mSorted)
        if (Widget* hit = comp->GetRoot()->HitTestName(x, y))
            return hit;
    return nullptr;
}

void WidgetLayer::PressOutsideTree(Widget& widget, Widget* hit)
{
    if (!widget.IsActive())
        return;
    if (!widget.IsInSubtree(hit))
        widget.OnPressOutside();
    for (size_t i = 0; i < widget.Children().size(); ++i)
        PressOutsideTree(*widget.Children()[i], hit);
}

void WidgetLayer::PressOutside(Widget* hit)
{
    SortedComps(mSorted, true);
    for (WidgetComp* comp : mSorted)
        PressOutsideTree(*comp->GetRoot(), hit);
}

void WidgetLayer::Update(GuiSystem& gui)
{
    const float x = gui.Units().PixelToGuiX(gui.GetMouseX());
    const float y = gui.Units().PixelToGuiY(gui.GetMouseY());
    IOLoom* io = IOLoom::Instance();
    const bool pressed = io && io->MouseTriggered(0);
    const bool released = io && io->MouseReleased(0);
    const bool moved = x != mLastX || y != mLastY;
    const float dx = x - mLastX, dy = y - mLastY;
    mLastX = x;
    mLastY = y;

    sDispatching = true;
    Widget* hit = HitTest(x, y);
    gui.Mouse().SetOver(hit != nullptr, hit ? hit->GetName() : std::string());
    if (pressed)
        mPressTaken = hit != nullptr;
    else if (!released && !(io && io->MousePressed(0)))
        mPressTaken = false;
    if (mEditMode)
    {
        if (pressed)
            mEditTarget = hit;
        else if (mEditTarget && io && io->MousePressed(0) && moved)
        {
            mEditTarget->OnEditDrag(dx, dy);
        }
        if (released)
            mEditTarget = nullptr;
    }
    else
    {
        if (hit != mHover)
        {
            if (mHover)
                mHover->OnMouseLeave();
            mHover = hit;
            if (hit)
                hit->OnMouseEnter();
        }
        if (pressed)
        {
            PressOutside(mHover);
            mPressed = mHover;
            if (mPressed)
            {
                mPressed->OnMouseDown();
                if (mPressed)
                    mPressed->OnPress();
            }
        }
        if (moved)
        {
            if (mPressed)
                mPressed->OnMouseMove();
            else if (mHover)
                mHover->OnMouseMove();
        }
        if (released && mPressed)
        {
            Widget* down = mPressed;
            mPressed = nullptr;
            down->OnMouseUp();
            // A click needs the press and the release on the same widget; a handler may have
            // deleted it meanwhile (Forget clears mHover then).
            if (down == mHover && mHover)
                down->OnClick();
        }
    }
    // Widget animations run on the core clock, also while the game is paused.
    const float dt = gCoreEngine ? float(gCoreEngine->GetCoreTimer().GetDt()) : 0.0f;
    SortedComps(mSorted, false);
    for (WidgetComp* comp : mSorted)
        comp->GetRoot()->Update(dt);
    sDispatching = false;
    Graveyard().clear();
}

void WidgetLayer::Render(GuiSystem& gui)
{
    SortedComps(mSorted, false);
    for (WidgetComp* comp : mSorted)
    {
        Widget* root = comp->GetRoot();
        if (root->IsActive())
            root->Render(gui);
    }
}

std::string WidgetLayer::GetDescription() { return mHover ? mHover->GetDescription(mHover->GetName()) : std::string(); }

bool WidgetLayer::SaveAll()
{
    bool saved = true;
    for (WidgetComp* comp : Registry())
        if (comp->GetRoot())
            saved = comp->GetRoot()->SaveWidgets() && saved;
    return saved;
}
