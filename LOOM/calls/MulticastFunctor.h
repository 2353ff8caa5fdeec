#pragma once
#include <memory>
#include <vector>

#include "LOOM/calls/CommandFunctor.h"

// Several functors bound under one name, called in the order they were added. Each member
// reads the arguments as the caller left them, even when an earlier one pushed a result.
class MulticastFunctor final : public CommandFunctor
{
public:
    explicit MulticastFunctor(std::unique_ptr<CommandFunctor> first);

    void Invoke(void* target, ParamBuffer& params) override;
    uint32_t Signature() const override { return mSignature; }

    // A member whose signature differs from the first's could only misread its arguments,
    // so it is refused (logged and deleted).
    void Add(std::unique_ptr<CommandFunctor> functor);
    size_t Size() const { return mFunctors.size(); }

private:
    std::vector<std::unique_ptr<CommandFunctor>> mFunctors;
    uint32_t mSignature = 0;
};

std::unique_ptr<MulticastFunctor> MakeMulticast(std::unique_ptr<CommandFunctor> first,
                                                std::unique_ptr<CommandFunctor> second);
