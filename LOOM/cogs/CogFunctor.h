#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

#include "LOOM/calls/CommandFunctor.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CompCall.h"
#include "LOOM/cogs/Composer.h"

// Functors called with a cog as their target.

// A component's message handler: bound once per cog type, it finds the called cog's
// component of its type id and runs the member function on it.
template <typename Method, typename Shape = typename MethodTraits<Method>::Shape>
class CompFunctor;

template <typename Method, typename R, typename... Args>
class CompFunctor<Method, R(Args...)> final : public CompCall
{
public:
    using Target = typename MethodTraits<Method>::Target;
    static constexpr uint32_t kSignature = MakeSignature<Args...>();

    CompFunctor(uint32_t typeId, Method method) : CompCall(typeId, DirectTick()), mMethod(method) {}

    void Invoke(void* target, ParamBuffer& params) override
    {
        Cog* cog = static_cast<Cog*>(target);
        Target* component = static_cast<Target*>(cog->FindTypedComponent(mTypeId));
        CallWithParams<R, Args...>(params, [this, component](auto&... args) -> R {
            if constexpr (std::is_void_v<R>)
            {
                if (component)
                    (component->*mMethod)(args...);
            }
            else
            {
                return component ? (component->*mMethod)(args...) : R{};
            }
        });
    }

    uint32_t Signature() const override { return kSignature; }

private:
    static Tick DirectTick()
    {
        if constexpr (sizeof...(Args) == 0 && std::is_void_v<R>)
            return &RunTick;
        else
            return nullptr;
    }
    static void RunTick(const CompCall& call, Comp& component)
    {
        const Method method = static_cast<const CompFunctor&>(call).mMethod;
        (static_cast<Target&>(component).*method)();
    }

    Method mMethod;
};

template <typename Method>
std::unique_ptr<CommandFunctor> MakeCompFunctor(uint32_t typeId, Method method)
{
    return std::make_unique<CompFunctor<Method>>(typeId, method);
}

// A named cog function: works on the called cog itself, which is handed to it first.
template <typename R, typename... Args>
class CogFunctor final : public CommandFunctor
{
public:
    using Function = std::function<R(Cog*, Args...)>;
    static constexpr uint32_t kSignature = MakeSignature<Args...>();

    explicit CogFunctor(Function function) : mFunction(std::move(function)) {}

    void Invoke(void* target, ParamBuffer& params) override
    {
        Cog* cog = static_cast<Cog*>(target);
        CallWithParams<R, Args...>(params, [this, cog](auto&... args) -> R { return mFunction(cog, args...); });
    }

    uint32_t Signature() const override { return kSignature; }

private:
    Function mFunction;
};

template <typename R, typename... Args>
std::unique_ptr<CommandFunctor> MakeCogFunctorOf(std::function<R(Cog*, Args...)> function)
{
    return std::make_unique<CogFunctor<R, Args...>>(std::move(function));
}

// From a function or lambda whose first parameter is the cog: void Death(Cog* cog).
template <typename F>
std::unique_ptr<CommandFunctor> MakeCogFunctor(F function)
{
    return MakeCogFunctorOf(std::function(std::move(function)));
}
