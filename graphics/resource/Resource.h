#pragma once
#include <cstdint>
#include <string>

#include "LOOM/assets/RefCounted.h"

// Base of every graphics asset a store caches by file name. Count 1 at birth: the store's.
class Resource : public RefCounted
{
public:
    Resource() = default;
    ~Resource() override = default;
    virtual uint32_t GetMemorySize() const { return 0; }
    virtual std::string GetTypeName() const { return {}; }
    virtual void Load(const std::string& fileName) = 0;
};
