#pragma once
#include <cstdint>
#include <memory>

#include "LOOM/calls/CommandFunctor.h"
#include "LOOM/calls/FunctionFunctor.h"

// What the console registry and the script bridge hold for a command.
class ConsoleCommand
{
public:
    virtual uint32_t Signature() const = 0;
    // Runs only when the buffer's signature matches the command's; a mismatch is logged.
    virtual void Execute(ParamBuffer& params) = 0;
    // Runs with a fresh zeroed buffer, whatever the parameters.
    virtual void Execute() = 0;
    virtual ~ConsoleCommand() = default;
};

// A member function bound to the object it runs on.
class MemberCommand final : public ConsoleCommand
{
public:
    MemberCommand() = default;
    MemberCommand(void* target, std::unique_ptr<CommandFunctor> functor);

    uint32_t Signature() const override;
    void Execute(ParamBuffer& params) override;
    void Execute() override;

private:
    void* mTarget = nullptr;
    std::unique_ptr<CommandFunctor> mFunctor;
};

// A free function.
class FunctionCommand final : public ConsoleCommand
{
public:
    explicit FunctionCommand(std::unique_ptr<FunctionFunctor> functor);

    uint32_t Signature() const override;
    void Execute(ParamBuffer& params) override;
    void Execute() override;

private:
    std::unique_ptr<FunctionFunctor> mFunctor;
};

// A command whose leading text arguments name files in the data folder, typed or passed by a
// script: one that is absolute or leaves the folder is refused with an Error and the command does
// not run. An empty one names nothing and is passed on.
class DataPathCommand final : public ConsoleCommand
{
public:
    explicit DataPathCommand(std::unique_ptr<ConsoleCommand> command);

    uint32_t Signature() const override;
    void Execute(ParamBuffer& params) override;
    void Execute() override;

private:
    std::unique_ptr<ConsoleCommand> mCommand;
};

// Logs the one line for a call whose arguments do not fit the bound function.
void LogSignatureMismatch(uint32_t expected, uint32_t given);

template <typename T, typename Method>
std::unique_ptr<ConsoleCommand> MakeConsoleCommand(T* target, Method method)
{
    static_assert(std::is_base_of_v<std::remove_const_t<typename MethodTraits<Method>::Target>, T>,
                  "the target must be of the method's class");
    using Target = typename MethodTraits<Method>::Target;
    // The functor casts back to the method's class, so hand it a pointer of that class.
    Target* object = target;
    return std::make_unique<MemberCommand>(const_cast<void*>(static_cast<const void*>(object)),
                                           std::make_unique<MemberFunctor<Method>>(method));
}

template <typename R, typename... Args>
std::unique_ptr<ConsoleCommand> MakeFunctionCommand(R (*function)(Args...))
{
    return std::make_unique<FunctionCommand>(std::make_unique<FreeFunctor<R(Args...)>>(function));
}

inline std::unique_ptr<ConsoleCommand> MakeDataPathCommand(std::unique_ptr<ConsoleCommand> command)
{
    return std::make_unique<DataPathCommand>(std::move(command));
}
