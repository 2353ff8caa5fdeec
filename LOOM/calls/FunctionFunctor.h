#pragma once
#include <cstdint>

#include "LOOM/calls/CommandFunctor.h"

// A bound free function. Its operations sit in a different order from CommandFunctor's.
class FunctionFunctor
{
public:
    virtual void Invoke(ParamBuffer& params) = 0;
    virtual uint32_t Signature() const = 0;
    virtual ~FunctionFunctor() = default;
};

template <typename Shape>
class FreeFunctor;

template <typename R, typename... Args>
class FreeFunctor<R(Args...)> final : public FunctionFunctor
{
public:
    using Function = R (*)(Args...);
    static constexpr uint32_t kSignature = MakeSignature<Args...>();

    explicit FreeFunctor(Function function) : mFunction(function) {}

    void Invoke(ParamBuffer& params) override
    {
        CallWithParams<R, Args...>(params, [this](auto&... args) -> R { return mFunction(args...); });
    }

    uint32_t Signature() const override { return kSignature; }

private:
    Function mFunction;
};
