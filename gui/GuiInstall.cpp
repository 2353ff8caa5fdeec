#include "gui/GuiInstall.h"

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
    size_t count = 0;
    GraphicsComponentType* types = GraphicsLoom::ComponentTypes(count);
    for (size_t i = 0; i < count; ++i)
        if (types[i].mTypeId == WidgetComp::kTypeId)
            types[i].mFactory = WidgetComp::Factory();
}
