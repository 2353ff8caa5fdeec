#include "LOOM/calls/MulticastFunctor.h"

#include <cstring>

#include "LOOM/console/Console.h"

MulticastFunctor::MulticastFunctor(std::unique_ptr<CommandFunctor> first) { Add(std::move(first)); }

void MulticastFunctor::Add(std::unique_ptr<CommandFunctor> functor)
{
    if (!functor)
        return;
    if (!mFunctors.empty() && functor->Signature() != mSignature)
    {
        Console::Instance().Log("Multicast: a handler of signature " + SignatureText(functor->Signature()) +
                                    " cannot join handlers of signature " + SignatureText(mSignature),
                                LogError);
        return;
    }
    if (mFunctors.empty())
        mSignature = functor->Signature();
    mFunctors.push_back(std::move(functor));
}

void MulticastFunctor::Invoke(void* target, ParamBuffer& params)
{
    ParamBlock* block = params.GetBlock();
    if (!block)
        return;
    // Each member clears the buffer and may push a result over the argument bytes.
    ParamBlock saved;
    std::memcpy(&saved, block, sizeof(ParamBlock));
    for (size_t i = 0; i < mFunctors.size(); ++i)
    {
        if (i > 0)
        {
            block->mCount = saved.mCount;
            std::memcpy(block->mSignature, saved.mSignature, sizeof(saved.mSignature));
            std::memcpy(block->mData, saved.mData, sizeof(saved.mData));
        }
        mFunctors[i]->Invoke(target, params);
    }
}

std::unique_ptr<MulticastFunctor> MakeMulticast(std::unique_ptr<CommandFunctor> first,
                                                std::unique_ptr<CommandFunctor> second)
{
    auto multicast = std::make_unique<MulticastFunctor>(std::move(first));
    multicast->Add(std::move(second));
    return multicast;
}
