#include "LOOM/factory/CogFactory.h"

#include <algorithm>
#include <filesystem>

#include "LOOM/base/FileUtils.h"
#include "LOOM/calls/CommandFunctor.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/factory/Archetype.h"
#include "LOOM/factory/CogScriptGlobals.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/factory/ComponentExport.h"
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

uint32_t StringHash(const std::string& name)
{
    uint32_t hash = 0xDEADBEEF;
    const uint32_t length = static_cast<uint32_t>(name.size());
    const uint32_t step = length / 16 + 1;
    for (uint32_t i = 0; i + step <= length; i += step)
        hash += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(name[i])));
    return hash;
}

CogFactory& CogFactory::Instance()
{
    static CogFactory* instance = [] {
        // The console first, so it outlives the manager whose cogs may log while they go.
        Console::Instance();
        static CogFactory factory;
        factory.RegisterCommands();
        return &factory;
    }();
    return *instance;
}

CogFactory::CogFactory() : mPreviousDirectory(CogDirectory::Get()) { CogDirectory::Install(this); }

CogFactory::~CogFactory()
{
    DestroyAll();
    // Types before functors: a type's cogs are gone, and its registry functors are not its own.
    mTypes.clear();
    mFunctions.clear();
    mRetiredFunctions.clear();
    if (CogDirectory::Get() == this)
        CogDirectory::Install(mPreviousDirectory);
}

void CogFactory::RegisterCommands()
{
    Console& console = Console::Instance();
    console.RegisterCommand("Composer", MakeDataPathCommand(MakeConsoleCommand(this, &CogFactory::LoadComposition)),
                            "Creates a Cog Composer");
    console.RegisterCommand("destroygroup", MakeConsoleCommand(this, &CogFactory::DestroyGroup),
                            "Destroys given Group");
    console.RegisterCommand("Create", MakeConsoleCommand(this, &CogFactory::Create),
                            "Creates a Cog (Filename or Archetype)");
    console.RegisterCommand("CreateAt", MakeConsoleCommand(this, &CogFactory::CreateAt),
                            "Creates a Cog at a given position (Filename or Archetype)");
    console.RegisterCommand("dis", MakeConsoleCommand(this, &CogFactory::LogCogs), "Displays all Cogs");
    console.RegisterCommand("des", MakeConsoleCommand(this, &CogFactory::DestroyById), "Destroys a Cog by ID");
    console.RegisterCommand("Export", MakeConsoleCommand(this, &CogFactory::Export), "Exports all Component Defs");
    console.RegisterCommand("dg", MakeConsoleCommand(this, &CogFactory::DestroyGroup), "Destroys given Group");
    console.RegisterCommand("file", MakeDataPathCommand(MakeConsoleCommand(this, &CogFactory::LoadCogFile)),
                            "Loads a File");
    console.RegisterCommand("Allocate", MakeConsoleCommand(this, &CogFactory::Allocate), "Allocates a Cog");
    console.AddCommand("GetCogName", MakeConsoleCommand(this, &CogFactory::GetCogName));
}

// ---- queries

Cog* CogFactory::GetCog(uint32_t id) const
{
    auto it = mCogs.find(id);
    return it == mCogs.end() ? nullptr : it->second.get();
}

Cog* CogFactory::FindCogByName(const std::string& name)
{
    auto it = mNames.find(name);
    return it == mNames.end() ? nullptr : it->second;
}

std::vector<Cog*> CogFactory::GetGroupCogs(const std::string& group)
{
    std::vector<uint32_t>& ids = mGroups[group];
    std::vector<Cog*> cogs;
    std::erase_if(ids, [&](uint32_t id) {
        Cog* cog = GetCog(id);
        if (cog)
            cogs.push_back(cog);
        return cog == nullptr;
    });
    return cogs;
}

uint32_t CogFactory::LiveId(const Cog* cog) const
{
    if (!cog)
        return 0;
    auto it = mCogs.find(cog->GetID());
    if (it != mCogs.end() && it->second.get() == cog)
        return it->first;
    // The cog's reported ID was changed after it was made.
    for (const auto& [id, living] : mCogs)
    {
        if (living.get() == cog)
            return id;
    }
    return 0;
}

// ---- creation

std::unique_ptr<Cog> CogFactory::CreateFromType(const std::string& typeName, uint32_t id)
{
    auto it = mTypes.find(typeName);
    if (it == mTypes.end())
        return nullptr;
    // The type stays alive through the build even if building replaces it in the table.
    std::shared_ptr<CogType> type = it->second;
    return type->CreateInstance(id);
}

Cog* CogFactory::Instantiate(const std::string& typeName)
{
    const uint32_t id = mNextId;
    std::unique_ptr<Cog> cog = CreateFromType(typeName, id);
    if (!cog)
        return nullptr;
    Cog* made = cog.get();
    mCogs[id] = std::move(cog);
    ++mNextId;
    return made;
}

Cog* CogFactory::Allocate(std::string name)
{
    if (Cog* cog = Instantiate(name))
    {
        Console::Instance().Log(
            "Creating Cog From Archetype TypeName: \"" + name + "\" ID: " + std::to_string(cog->GetID()), LogEngine);
        return cog;
    }
    // Not a type: a cog file, named by a script, the console or another file.
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
    Cog* cog = Instantiate(typeName);
    if (!cog)
        return nullptr;
    LoadArchetypeXml(*cog, name);
    Console::Instance().Log("Creating Cog From File File: \"" + name + "\" ID: " + std::to_string(cog->GetID()),
                            LogEngine);
    return cog;
}

Cog* CogFactory::CreateAt(std::string name, Vector3 position) { return ::CreateAt(*this, std::move(name), position); }

Cog* CogFactory::Create(std::string name)
{
    Cog* cog = Allocate(name);
    if (!cog)
    {
        Console::Instance().Log("Failed to Create: " + name, LogError);
        return nullptr;
    }
    cog->Initialize();
    return cog;
}

// ---- destruction

void CogFactory::Destroy(Cog* cog)
{
    if (!cog || mQueued.count(cog))
        return;
    // Only living cogs: a cog already deleted (or being deleted) cannot be queued again.
    if (LiveId(cog) == 0)
        return;
    mQueued.insert(cog);
    mDestroyQueue.push_back(cog);
}

void CogFactory::DestroyById(uint32_t id)
{
    if (Cog* cog = GetCog(id))
        Destroy(cog);
}

void CogFactory::DestroyGroup(std::string group)
{
    std::vector<uint32_t>& ids = mGroups[group];
    // Queuing runs no cog code, so the list cannot change under the walk.
    for (uint32_t id : ids)
    {
        if (Cog* cog = GetCog(id))
            Destroy(cog);
    }
    mGroups[group].clear();
}

void CogFactory::ProcessDestroyList()
{
    if (mDestroying)
        return;
    mDestroying = true;
    // Destructors may queue further cogs; they are appended and destroyed in this same pass.
    for (size_t i = 0; i < mDestroyQueue.size(); ++i)
    {
        Cog* cog = mDestroyQueue[i];
        mQueued.erase(cog);
        const uint32_t id = LiveId(cog);
        if (id == 0)
            continue;
        // Out of the ID table first, so nothing finds the cog while it is torn down.
        auto entry = mCogs.find(id);
        std::unique_ptr<Cog> dying = std::move(entry->second);
        mCogs.erase(entry);
        if (mEditor)
            mEditor->CogDestroyed(*cog);
        dying.reset();
        // By index: a listener may leave the list while it is told.
        for (size_t l = 0; l < mIdListeners.size(); ++l)
            mIdListeners[l]->ForgetCog(id);
    }
    mDestroyQueue.clear();
    mQueued.clear();
    mDestroying = false;
}

void CogFactory::DestroyAll()
{
    mDestroying = true;
    // Each cog leaves the table before it is deleted; destructors may make or queue others.
    while (!mCogs.empty())
    {
        auto first = mCogs.begin();
        std::unique_ptr<Cog> dying = std::move(first->second);
        mCogs.erase(first);
        dying.reset();
    }
    mDestroyQueue.clear();
    mQueued.clear();
    mNames.clear();
    mGroups.clear();
    mActive.clear();
    mNextId = 1;
    mDestroying = false;
    // The IDs are handed out again from 1: nothing may still point at them.
    for (size_t l = 0; l < mIdListeners.size(); ++l)
        mIdListeners[l]->ForgetAllCogs();
}

void CogFactory::ForgetRun()
{
    DestroyAll();
    // Types before functors: a type's cogs are gone, and its registry functors are not its own.
    mTypes.clear();
    mTypeFiles.clear();
    mFunctions.clear();
    mRetiredFunctions.clear();
    mCacheArchetypes = true;
    mExportDocs = false;
    mEditor = nullptr;
}

void CogFactory::AddIdListener(CogIdListener* listener)
{
    if (listener && std::find(mIdListeners.begin(), mIdListeners.end(), listener) == mIdListeners.end())
        mIdListeners.push_back(listener);
}

void CogFactory::RemoveIdListener(CogIdListener* listener) { std::erase(mIdListeners, listener); }

// ---- registries

void CogFactory::RegisterComponent(uint32_t typeId, CompFactory* factory) { mFactories[typeId] = factory; }

CompFactory* CogFactory::GetComponentFactory(uint32_t typeId) const
{
    auto it = mFactories.find(typeId);
    return it == mFactories.end() ? nullptr : it->second;
}

void CogFactory::RegisterFunction(const std::string& name, std::unique_ptr<CommandFunctor> functor)
{
    std::unique_ptr<CommandFunctor>& entry = mFunctions[name];
    // Cog types hold registry functors by plain pointer, so the earlier one must not die here.
    if (entry)
        mRetiredFunctions.push_back(std::move(entry));
    entry = std::move(functor);
}

CommandFunctor* CogFactory::FindFunction(const std::string& name) const
{
    auto it = mFunctions.find(name);
    return it == mFunctions.end() ? nullptr : it->second.get();
}

void CogFactory::RegisterType(const std::string& typeName, std::shared_ptr<CogType> type)
{
    mTypes[typeName] = std::move(type);
    mTypeFiles.erase(typeName);
}

CogType* CogFactory::FindType(const std::string& typeName) const
{
    auto it = mTypes.find(typeName);
    return it == mTypes.end() ? nullptr : it->second.get();
}

void CogFactory::RegisterName(Cog& cog)
{
    const std::string& name = cog.Name();
    SetCogGlobal(name, &cog);
    mNames.emplace(name, &cog);
}

void CogFactory::UnregisterName(Cog& cog)
{
    const std::string& name = cog.Name();
    auto it = mNames.find(name);
    if (it == mNames.end())
    {
        SetCogGlobal(name, nullptr);
        return;
    }
    if (it->second == &cog)
    {
        mNames.erase(it);
        SetCogGlobal(name, nullptr);
        return;
    }
    // Another living cog holds the name: the global goes back to it rather than to nothing.
    SetCogGlobal(name, it->second);
}

// ---- per frame

void CogFactory::UpdateAll()
{
    // Cogs made during the pass are appended and updated in it too. One buffer for the pass:
    // taking a cleared block per cog cost more than the update itself. Cogs and their
    // components lie apart on the heap: each is asked for a few cogs ahead, the cog first, so
    // an update rarely waits on memory.
    ParamBuffer params;
    constexpr size_t kCogsAhead = 8, kComponentsAhead = 4;
    for (size_t i = 0; i < mActive.size(); ++i)
    {
        const size_t count = mActive.size();
        if (i + kCogsAhead < count)
            __builtin_prefetch(mActive[i + kCogsAhead]);
        if (i + kComponentsAhead < count)
            mActive[i + kComponentsAhead]->PrefetchComponents();
        Cog& cog = *mActive[i];
        cog.GetComposer().RunUpdate(cog, params);
    }
}

void CogFactory::CallOnAllCogs(const std::string& function)
{
    // By ID, so cogs made or deleted by the calls cannot break the walk.
    std::vector<uint32_t> ids;
    ids.reserve(mCogs.size());
    for (const auto& entry : mCogs)
        ids.push_back(entry.first);
    for (uint32_t id : ids)
    {
        if (Cog* cog = GetCog(id))
            cog->CallFunctionByName(function);
    }
}

void CogFactory::AddToGroup(const std::string& group, uint32_t id) { mGroups[group].push_back(id); }

void CogFactory::AddActive(Cog* cog) { mActive.push_back(cog); }

void CogFactory::RemoveActive(Cog* cog)
{
    auto it = std::find(mActive.begin(), mActive.end(), cog);
    if (it == mActive.end())
        return;
    *it = mActive.back();
    mActive.pop_back();
}

void CogFactory::CallFunction(Cog& cog, const std::string& function, ParamBuffer& params)
{
    cog.CallFunction(function, params);
}

// ---- files

void CogFactory::LoadComposition(std::string fileName)
{
    FileComposition record;
    if (!LoadFileComposition(record, fileName))
        return;
    // A composition never takes an archetype's name: the archetype's cogs would change under it.
    auto taken = mTypes.find(record.mCogName);
    if (taken != mTypes.end() && dynamic_cast<Archetype*>(taken->second.get()))
    {
        Console::Instance().Log("Composition " + fileName + " names its type " + record.mCogName +
                                    ", already an archetype of " + DeclaredIn(record.mCogName) + ": " + fileName +
                                    " is not loaded",
                                LogError);
        return;
    }
    auto composer = std::make_shared<Composer>(*this, record.mCogName, record.mGroupName);
    for (uint32_t id : record.mComponents)
    {
        CompFactory* factory = GetComponentFactory(id);
        if (!factory)
        {
            Console::Instance().Log("Bad Component ID in File: " + fileName, LogError);
            return;
        }
        composer->AddComponent(id, factory);
    }
    for (const Funcmapping& mapping : record.mFunctions)
    {
        if (CommandFunctor* functor = FindFunction(mapping.mFunc))
            composer->BindFunction(mapping.mMappedName, functor);
        else
            Console::Instance().Log("Function: " + mapping.mFunc + " Not Found", LogError);
    }
    for (const std::string& name : record.mUpdateList)
    {
        if (CommandFunctor* functor = FindFunction(name))
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
        if (!ownName && !mTypes.count(ref.mName))
        {
            mTypes[ref.mName] = std::make_shared<Archetype>(*this, record.mCogName, ref.mFile);
            mTypeFiles[ref.mName] = fileName;
            continue;
        }
        // The same file read again keeps its archetypes; any other holder of the name keeps it too.
        if (!ownName && FileKey(DeclaredIn(ref.mName)) == FileKey(fileName))
            continue;
        Console::Instance().Log("Archetype " + ref.mName + " of " + fileName + " is already a cog type of " +
                                    (ownName ? fileName : DeclaredIn(ref.mName)) + ": the archetype is skipped",
                                LogError);
    }
    composer->WriteAutoDoc();
    Console::Instance().Log("Loaded Cog File >  File: " + fileName + " Name: " + record.mCogName, LogEngine);
    mTypes[record.mCogName] = std::move(composer);
    mTypeFiles[record.mCogName] = fileName;
}

std::string CogFactory::DeclaredIn(const std::string& typeName) const
{
    auto it = mTypeFiles.find(typeName);
    return it == mTypeFiles.end() ? "the program" : it->second;
}

void CogFactory::LoadCogFile(std::string fileName)
{
    std::vector<std::string> listsOpen;
    LoadFile(fileName, listsOpen);
}

void CogFactory::LoadFile(const std::string& fileName, std::vector<std::string>& listsOpen)
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
        Cog* cog = Allocate(typeName);
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

void CogFactory::LogCogs()
{
    Console& console = Console::Instance();
    if (mCogs.empty())
    {
        console.Log("No Cogs Active", LogGeneral);
        return;
    }
    for (const auto& [id, cog] : mCogs)
        console.Log("cog: " + std::to_string(id) + " Type: " + cog->GetComposerName() + " Name: " + cog->GetName(),
                    LogEngine);
}

void CogFactory::Export()
{
    Console& console = Console::Instance();
    console.Log("Exporting...", LogGeneral);
    std::error_code ec;
    std::filesystem::create_directories("Components", ec);
    for (const auto& [id, factory] : mFactories)
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
    std::vector<std::string> names;
    for (const auto& entry : mFunctions)
        names.push_back(entry.first);
    SaveStringList(names, "FileFunctions.xml");
    console.Log("Done", LogGeneral);
}
