#include "tests/gui/GuiFixture.h"

#include "gui/widgets/Widgets.h"

void StandInButton::OnClick()
{
    ++sClicks;
    // The handler empties the tool bar it sits in, itself included.
    if (auto* bar = GetParent())
        static_cast<ToolBar*>(bar)->ClearItems();
}
