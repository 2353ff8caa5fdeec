#include "LOOM/factory/CogExporter.h"

#include <filesystem>
#include <memory>

#include "LOOM/cogs/Comp.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogTypeRegistry.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/factory/ComponentExport.h"

void CogExporter::Export()
{
    Console& console = Console::Instance();
    console.Log("Exporting...", LogGeneral);
    std::error_code ec;
    std::filesystem::create_directories("Components", ec);
    for (const auto& [id, factory] : mTypes.GetComponentFactories())
    {
        std::unique_ptr<Comp> component = factory->Create();
        if (!component)
            continue;
        const std::string typeName = component->GetTypeName();
        if (!IsSafeFileStem(typeName))
        {
            console.Log("Export: refused component type name " + typeName, LogError);
            continue;
        }
        SaveComponentFile(*component, "Components/" + typeName + ".xml");
    }
    std::vector<std::string> names = mTypes.FunctionNames();
    SaveStringList(names, "FileFunctions.xml");
    console.Log("Done", LogGeneral);
}
