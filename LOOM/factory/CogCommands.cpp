#include "LOOM/factory/CogCommands.h"

#include "LOOM/cogs/Cog.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/factory/CogExporter.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CogFileReader.h"

void CogCommands::Register(Console& console)
{
    CogFileReader* files = &mCogs.Files();
    console.RegisterCommand("Composer", MakeDataPathCommand(MakeConsoleCommand(files, &CogFileReader::LoadComposition)),
                            "Creates a Cog Composer");
    console.RegisterCommand("destroygroup", MakeConsoleCommand(&mCogs, &CogFactory::DestroyGroup),
                            "Destroys given Group");
    console.RegisterCommand("Create", MakeConsoleCommand(&mCogs, &CogFactory::Create),
                            "Creates a Cog (Filename or Archetype)");
    console.RegisterCommand("CreateAt", MakeConsoleCommand(&mCogs, &CogFactory::CreateAt),
                            "Creates a Cog at a given position (Filename or Archetype)");
    console.RegisterCommand("dis", MakeConsoleCommand(this, &CogCommands::LogCogs), "Displays all Cogs");
    console.RegisterCommand("des", MakeConsoleCommand(&mCogs, &CogFactory::DestroyById), "Destroys a Cog by ID");
    console.RegisterCommand("Export", MakeConsoleCommand(&mCogs.Exporter(), &CogExporter::Export),
                            "Exports all Component Defs");
    console.RegisterCommand("dg", MakeConsoleCommand(&mCogs, &CogFactory::DestroyGroup), "Destroys given Group");
    console.RegisterCommand("file", MakeDataPathCommand(MakeConsoleCommand(files, &CogFileReader::LoadCogFile)),
                            "Loads a File");
    console.RegisterCommand("Allocate", MakeConsoleCommand(&mCogs, &CogFactory::Allocate), "Allocates a Cog");
    console.AddCommand("GetCogName", MakeConsoleCommand(this, &CogCommands::GetCogName));
}

void CogCommands::LogCogs()
{
    Console& console = Console::Instance();
    if (mCogs.GetCogCount() == 0)
    {
        console.Log("No Cogs Active", LogGeneral);
        return;
    }
    for (const auto& [id, cog] : mCogs.GetCogs())
        console.Log("cog: " + std::to_string(id) + " Type: " + cog->GetComposerName() + " Name: " + cog->GetName(),
                    LogEngine);
}

Cog* CogCommands::GetCogName(std::string name) { return mCogs.FindCogByName(name); }
