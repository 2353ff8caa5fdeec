#include "LOOM/factory/CogFileReader.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "LOOM/base/FileUtils.h"
#include "LOOM/calls/CommandFunctor.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/Archetype.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CogTypeRegistry.h"
#include "LOOM/factory/FileComposition.h"
#include "LOOM/serial/XMLReader.h"

namespace {
// Reads a stream file's third element (after the declaration and the stream element); false
// with why when the file has none.
bool ReadThirdElement(const std::string& fileName, XMLReader& reader, std::string& why)
{
    std::error_code ec;
    const std::string path = ResolvePath(DataFilePath(fileName));
    if (std::filesystem::is_directory(path, ec))
        why = "is a folder, not a file";
    else if (std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) == 0)
        why = "is empty";
    else if (!reader.Open(fileName))
        why = "cannot be read";
    if (!why.empty())
        return false;
    for (int i = 0; i < 3; ++i)
    {
        if (!reader.ParseElement())
        {
            why = reader.HasFailed() ? "is not correct XML" : "ends before its cog, list or composition element";
            return false;
        }
    }
    if (reader.Kind() == XMLReader::KindStart || reader.IsSelfClosing())
        return true;
    why = "has no cog, list or composition element";
    return false;
}

// One spelling per file, so a list naming itself is recognised however the name is written.
std::string FileKey(const std::string& fileName)
{
    std::error_code ec;
    std::filesystem::path path = std::filesystem::weakly_canonical(DataFilePath(fileName), ec);
    return ec ? fileName : path.string();
}
} // namespace

Cog* CogFileReader::AllocateFromFile(const std::string& name)
{
    std::string inside;
    if (GetFileExtension(name) != "xml" || !DataPathInside(name, inside) || !FileExists(inside))
        return nullptr;
    XMLReader reader;
    std::string why;
    if (!ReadThirdElement(name, reader, why))
    {
        Console::Instance().Log("Cog file " + name + " " + why, LogError);
        return nullptr;
    }
    if (reader.ElementName() != "cog")
        return nullptr;
    const std::string typeName = reader.GetAttribute("CogID");
    reader.Close();
    Cog* cog = mCogs.Instantiate(typeName);
    if (!cog)
        return nullptr;
    LoadArchetypeXml(*cog, name);
    Console::Instance().Log("Creating Cog From File File: \"" + name + "\" ID: " + std::to_string(cog->GetID()),
                            LogEngine);
    return cog;
}

void CogFileReader::LoadComposition(std::string fileName)
{
    FileComposition record;
    if (!LoadFileComposition(record, fileName))
        return;
    CogTypeRegistry& types = mCogs.Types();
    // A composition never takes an archetype's name: the archetype's cogs would change under it.
    if (dynamic_cast<Archetype*>(types.FindType(record.mCogName)))
    {
        Console::Instance().Log("Composition " + fileName + " names its type " + record.mCogName +
                                    ", already an archetype of " + types.DeclaredIn(record.mCogName) + ": " + fileName +
                                    " is not loaded",
                                LogError);
        return;
    }
    auto composer = std::make_shared<Composer>(mCogs, record.mCogName, record.mGroupName);
    for (uint32_t id : record.mComponents)
    {
        CompFactory* factory = types.GetComponentFactory(id);
        if (!factory)
        {
            Console::Instance().Log("Bad Component ID in File: " + fileName, LogError);
            return;
        }
        composer->AddComponent(id, factory);
    }
    for (const Funcmapping& mapping : record.mFunctions)
    {
        if (CommandFunctor* functor = types.FindFunction(mapping.mFunc))
            composer->BindFunction(mapping.mMappedName, functor);
        else
            Console::Instance().Log("Function: " + mapping.mFunc + " Not Found", LogError);
    }
    for (const std::string& name : record.mUpdateList)
    {
        if (CommandFunctor* functor = types.FindFunction(name))
            composer->AddUpdate(functor);
        else
            Console::Instance().Log("Update Function: " + name + " Not Found", LogError);
    }
    for (const ArchetypeRef& ref : record.mArchetypes)
    {
        const bool ownName = ref.mName == record.mCogName;
        std::string inside;
        if (!ref.mFile.empty() && !DataPathInside(ref.mFile, inside))
            continue;
        if (!ownName && !types.FindType(ref.mName))
        {
            types.RegisterType(ref.mName, std::make_shared<Archetype>(mCogs, record.mCogName, ref.mFile), fileName);
            continue;
        }
        // The same file read again keeps its archetypes; any other holder of the name keeps it too.
        if (!ownName && FileKey(types.DeclaredIn(ref.mName)) == FileKey(fileName))
            continue;
        Console::Instance().Log("Archetype " + ref.mName + " of " + fileName + " is already a cog type of " +
                                    (ownName ? fileName : types.DeclaredIn(ref.mName)) + ": the archetype is skipped",
                                LogError);
    }
    composer->WriteAutoDoc();
    Console::Instance().Log("Loaded Cog File >  File: " + fileName + " Name: " + record.mCogName, LogEngine);
    types.RegisterType(record.mCogName, std::move(composer), fileName);
}

void CogFileReader::LoadCogFile(std::string fileName)
{
    std::vector<std::string> listsOpen;
    LoadFile(fileName, listsOpen);
}

void CogFileReader::LoadFile(const std::string& fileName, std::vector<std::string>& listsOpen)
{
    if (!FileExists(fileName))
    {
        Console::Instance().Log("File Not Found: " + fileName, LogEngine);
        return;
    }
    XMLReader reader;
    std::string why;
    if (!ReadThirdElement(fileName, reader, why))
    {
        Console::Instance().Log("Cog file " + fileName + " " + why + ": nothing is loaded from it", LogError);
        return;
    }
    const std::string element = reader.ElementName();
    if (element == "cog")
    {
        const std::string typeName = reader.GetAttribute("CogID");
        reader.Close();
        Cog* cog = mCogs.Allocate(typeName);
        if (!cog)
            return;
        LoadArchetypeXml(*cog, fileName);
        cog->Initialize();
    }
    else if (element == "list")
    {
        const std::string type = reader.GetAttribute("type");
        if (type != "file")
        {
            Console::Instance().Log("Cog file " + fileName + " is a list of \"" + type +
                                        "\", not of \"file\": nothing is loaded from it",
                                    LogError);
            return;
        }
        reader.Close();
        const std::string key = FileKey(fileName);
        if (std::find(listsOpen.begin(), listsOpen.end(), key) != listsOpen.end())
        {
            Console::Instance().Log("Cog List File names itself, skipped: " + fileName, LogError);
            return;
        }
        Console::Instance().Log("Reading Cog List File >  File: " + fileName, LogEngine);
        std::vector<std::string> files;
        LoadCogListFile(fileName, files);
        listsOpen.push_back(key);
        std::string inside;
        for (const std::string& listed : files)
        {
            if (DataPathInside(listed, inside))
                LoadFile(listed, listsOpen);
        }
        listsOpen.pop_back();
    }
    else if (element == "FileComposition")
    {
        reader.Close();
        LoadComposition(fileName);
    }
    else
        Console::Instance().Log("Cog file " + fileName + " has the unknown top element <" + element +
                                    ">: nothing is loaded from it",
                                LogError);
}
