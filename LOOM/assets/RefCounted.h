#pragma once
#include <cstdint>

// Intrusive reference count of shared assets, with the stamp (serial and manager id) that an
// asset manager writes when it hands the asset out.
class RefCounted
{
public:
    // The creator holds the first reference.
    RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;
    virtual ~RefCounted();

    // Called on every asset of a manager by ForEachAssetA and ForEachAssetB; the asset classes
    // give them their meaning.
    virtual void AssetHookA() {}
    virtual void AssetHookB() {}

    void AddRef() { ++mRefCount; }
    // Drops one reference; at 0 the object deletes itself and must not be touched again.
    // Returns the new count. Releasing an object nobody holds asserts and changes nothing.
    uint32_t Release();
    uint32_t GetRefCount() const { return mRefCount; }

    uint16_t GetSerial() const { return mSerial; }
    uint16_t GetManagerId() const { return mManagerId; }
    void SetStamp(uint16_t serial, uint16_t managerId)
    {
        mSerial = serial;
        mManagerId = managerId;
    }

protected:
    // For classes whose first owner takes its reference with AddRef.
    explicit RefCounted(uint32_t initialCount) : mRefCount(initialCount) {}

private:
    uint32_t mRefCount = 1;
    uint16_t mSerial = 0;
    uint16_t mManagerId = 0;
};
