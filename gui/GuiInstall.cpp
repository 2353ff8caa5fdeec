#include "gui/GuiInstall.h"

#include "graphics/ComponentFactories.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/guisystem/GuiSystem.h"
#include "gui/WidgetComp.h"
#include "gui/WidgetFile.h"
#include "gui/WidgetLayer.h"

void InstallGui()
{
    RegisterGuiWidgetTypes();
    GraphicsLoom::SetGuiMaker(&GuiSystem::Make);
    GuiSystem::SetLayerMaker(&WidgetLayer::Make);
    InstallComponentFactories(
        [](uint32_t typeId) { return typeId == WidgetComp::kTypeId ? WidgetComp::Factory() : nullptr; });
}
