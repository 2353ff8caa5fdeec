#pragma once
#include <cstdint>
#include <string>

class Cog;
class ParamBuffer;

// A store that keeps cog IDs beyond a call: IDs are handed out again after every cog is
// destroyed, so it must forget them when their cogs die.
class CogIdListener
{
public:
    virtual void ForgetCog(uint32_t id) = 0;
    virtual void ForgetAllCogs() = 0;

protected:
    ~CogIdListener() = default;
};

// What calls by name need of the cog manager: finding a live cog and calling one of its
// named functions. The cog manager installs itself when it is created and removes itself
// when it goes; while none is installed no cog can be found.
class CogDirectory
{
public:
    virtual ~CogDirectory() = default;

    // Null when no live cog has the ID or the name (names are case-sensitive).
    virtual Cog* FindCogById(uint32_t id) = 0;
    virtual Cog* FindCogByName(const std::string& name) = 0;
    // The cog's call by name: unknown names are ignored, a signature mismatch is logged.
    virtual void CallFunction(Cog& cog, const std::string& function, ParamBuffer& params) = 0;
    // The parameter signature of the cog's named function; 0 when it has none of that name.
    virtual uint32_t FunctionSignature(Cog& cog, const std::string& function) = 0;

    static CogDirectory* Get();
    static void Install(CogDirectory* directory);
};
