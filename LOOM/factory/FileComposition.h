#pragma once
#include <cstdint>
#include <string>
#include <vector>

class Cog;
class Serializer;

// A named cog function mapped onto a cog type under another name.
struct Funcmapping
{
    std::string mFunc;
    std::string mMappedName;
    void Serialize(Serializer& s);
};

// A named variant of a composition whose cogs load their fields from a data file.
struct ArchetypeRef
{
    std::string mName;
    std::string mFile;
    void Serialize(Serializer& s);
};

// The record of a composition file: a cog type's name, group, components, functions,
// per-frame functions and archetypes.
struct FileComposition
{
    std::string mCogName;
    std::string mGroupName;
    std::vector<uint32_t> mComponents;
    std::vector<Funcmapping> mFunctions;
    std::vector<std::string> mUpdateList;
    std::vector<ArchetypeRef> mArchetypes;
    void Serialize(Serializer& s);
};

// Each returns false (the loader has logged why) when the file could not be read whole.
bool LoadFileComposition(FileComposition& record, const std::string& fileName);
bool SaveFileComposition(FileComposition& record, const std::string& fileName);
bool LoadCogListFile(const std::string& fileName, std::vector<std::string>& files);
bool LoadArchetypeXml(Cog& cog, const std::string& fileName);
bool SaveArchetypeXml(Cog& cog, const std::string& fileName);
// The cog's stored form as a binary stream image, kept in memory.
std::string SaveArchetypeBinary(Cog& cog);
bool LoadArchetypeBinary(Cog& cog, const std::string& bytes);
