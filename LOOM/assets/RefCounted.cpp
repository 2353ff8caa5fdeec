#include "LOOM/assets/RefCounted.h"

#include "LOOM/base/AssertHandler.h"

RefCounted::~RefCounted() = default;

uint32_t RefCounted::Release()
{
    if (mRefCount == 0)
    {
        // Wrapping round would keep a dead object alive with four billion references.
        if (AssertFailed("mRefCount > 0", "RefCounted", __LINE__, "Release called on an object with no references"))
            DebugBreakIfAttached();
        return 0;
    }
    if (--mRefCount == 0)
    {
        delete this;
        return 0;
    }
    return mRefCount;
}
