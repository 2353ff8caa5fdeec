#pragma once
#include <cstdint>
#include <string>

class Serializer;

// Where a named data member lives and what it holds; {null, 0} when there is no such member.
struct DataMember
{
    void* mAddress = nullptr;
    uint32_t mCode = 0;
};

// Root of components, widgets and cogs: everything that describes its fields once for every
// serializer. Never deleted through this interface, so it adds no destructor slot of its own.
class Object
{
public:
    virtual void Serialize(Serializer& s) = 0;
    virtual DataMember FindDataMember(std::string name);

protected:
    ~Object() = default;
};
