#pragma once
#include <string>
#include <vector>

class Cog;
class CogFactory;

// Reads cog files for the cog manager: a composition becomes a cog type (and its archetypes), a
// cog file a cog, and a cog-list file names more files to read.
class CogFileReader
{
public:
    explicit CogFileReader(CogFactory& cogs) : mCogs(cogs) {}
    CogFileReader(const CogFileReader&) = delete;
    CogFileReader& operator=(const CogFileReader&) = delete;

    // A composition file: the console's "Composer".
    void LoadComposition(std::string fileName);
    // Any of a cog file, a cog-list file and a composition: the console's "file".
    void LoadCogFile(std::string fileName);
    // A cog of the type a cog file names, filled from the file and not initialised; null when the
    // name is not a cog file in the data folder or the file cannot be read.
    Cog* AllocateFromFile(const std::string& fileName);

    // Archetypes keep the binary image of their first cog instead of reading the file again.
    void SetCacheArchetypes(bool cache) { mCacheArchetypes = cache; }
    bool GetCacheArchetypes() const { return mCacheArchetypes; }

private:
    void LoadFile(const std::string& fileName, std::vector<std::string>& listsOpen);

    CogFactory& mCogs;
    bool mCacheArchetypes = true;
};
