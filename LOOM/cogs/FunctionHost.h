#pragma once
#include <string>

class CommandFunctor;
class ParamBuffer;

// How named cog functions are called on an object.
class FunctionHost
{
public:
    virtual void CallFunction(std::string name, ParamBuffer& params) = 0;
    // The call with an empty buffer taken from the pool.
    virtual void CallFunctionByName(std::string name);
    // The functor bound under exactly that name, or null.
    virtual CommandFunctor* FindCogFunction(std::string) { return nullptr; }

protected:
    ~FunctionHost() = default;
};
