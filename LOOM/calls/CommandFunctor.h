#pragma once
#include <cstdint>
#include <tuple>
#include <type_traits>
#include <utility>

#include "LOOM/calls/ParamBuffer.h"

// Reads the arguments of a call from params, clears it, calls, and pushes the result back.
// The braced tuple initialiser pins the reads to parameter order.
template <typename R, typename... Args, typename Call>
void CallWithParams(ParamBuffer& params, Call&& call)
{
    params.Rewind();
    std::tuple<std::decay_t<Args>...> args{ParamTraits<std::decay_t<Args>>::Pop(params)...};
    params.Clear();
    if constexpr (std::is_void_v<R>)
    {
        std::apply(call, args);
    }
    else
    {
        const std::decay_t<R> result = std::apply(call, args);
        ParamTraits<std::decay_t<R>>::Push(params, result);
    }
}

// A bound member function, called on a target handed in with every call.
class CommandFunctor
{
public:
    virtual void Invoke(void* target, ParamBuffer& params) = 0;
    virtual ~CommandFunctor() = default;
    virtual uint32_t Signature() const = 0;
};

template <typename Method>
struct MethodTraits;

template <typename T, typename R, typename... A>
struct MethodTraits<R (T::*)(A...)>
{
    using Target = T;
    using Shape = R(A...);
};

template <typename T, typename R, typename... A>
struct MethodTraits<R (T::*)(A...) const>
{
    using Target = const T;
    using Shape = R(A...);
};

template <typename Method, typename Shape = typename MethodTraits<Method>::Shape>
class MemberFunctor;

template <typename Method, typename R, typename... Args>
class MemberFunctor<Method, R(Args...)> final : public CommandFunctor
{
public:
    using Target = typename MethodTraits<Method>::Target;
    static constexpr uint32_t kSignature = MakeSignature<Args...>();

    explicit MemberFunctor(Method method) : mMethod(method) {}

    void Invoke(void* target, ParamBuffer& params) override
    {
        Target* object = static_cast<Target*>(target);
        CallWithParams<R, Args...>(params, [this, object](auto&... args) -> R { return (object->*mMethod)(args...); });
    }

    uint32_t Signature() const override { return kSignature; }

private:
    Method mMethod;
};
