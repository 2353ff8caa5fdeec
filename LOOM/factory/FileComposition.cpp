#include "LOOM/factory/FileComposition.h"

#include "LOOM/cogs/Cog.h"
#include "LOOM/serial/BinaryLoader.h"
#include "LOOM/serial/BinarySaver.h"
#include "LOOM/serial/XMLLoader.h"
#include "LOOM/serial/XMLSaver.h"

void Funcmapping::Serialize(Serializer& s)
{
    SerializeSingle(s, "func", "func", TypeElement, mFunc);
    s.SerializeString("MappedName", mMappedName);
}

void ArchetypeRef::Serialize(Serializer& s)
{
    s.SerializeString("Name", mName);
    s.SerializeFile("File", mFile);
}

void FileComposition::Serialize(Serializer& s)
{
    s.SerializeString("CogName", mCogName);
    s.SerializeString("GroupName", mGroupName);
    SerializeItemList(s, "Components", mComponents, "CompID",
                      [&s](uint32_t& id) { SerializeSingle(s, "CompID", nullptr, TypeElement, id); });
    SerializeElementList(s, "Functions", mFunctions, "Funcmapping");
    SerializeItemList(s, "UpdateList", mUpdateList, "func",
                      [&s](std::string& func) { SerializeSingle(s, "func", nullptr, TypeElement, func); });
    SerializeElementList(s, "Archetypes", mArchetypes, "Archetype");
}

bool LoadFileComposition(FileComposition& record, const std::string& fileName)
{
    return XMLLoader::LoadElement(fileName, "FileComposition", record);
}

bool SaveFileComposition(FileComposition& record, const std::string& fileName)
{
    return XMLSaver::SaveElement(fileName, "FileComposition", record);
}

bool LoadCogListFile(const std::string& fileName, std::vector<std::string>& files)
{
    struct FileList
    {
        std::vector<std::string>& mFiles;
        void Serialize(Serializer& s) { s.SerializeFileList(mFiles); }
    } list{files};
    return XMLLoader::LoadElement(fileName, "list", list);
}

bool LoadArchetypeXml(Cog& cog, const std::string& fileName)
{
    return XMLLoader::LoadElement(fileName, "cog", cog, TypeConfig);
}

bool SaveArchetypeXml(Cog& cog, const std::string& fileName)
{
    return XMLSaver::SaveElement(fileName, "cog", cog, TypeConfig);
}

std::string SaveArchetypeBinary(Cog& cog)
{
    BinarySaver saver;
    saver.OpenMemory();
    SerializeElement(saver, "cog", TypeConfig, cog);
    saver.Close();
    return saver.Bytes();
}

bool LoadArchetypeBinary(Cog& cog, const std::string& bytes)
{
    BinaryLoader loader;
    if (!loader.OpenFromBuffer(bytes, "archetype " + cog.GetTypeName()))
        return false;
    SerializeElement(loader, "cog", TypeConfig, cog);
    const bool good = loader.IsGood();
    loader.Close();
    return good;
}
