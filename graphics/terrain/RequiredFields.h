#pragma once
#include "LOOM/serial/Serializer.h"

// Remembers the first field a loader could not read, so the log can name the missing key.
class RequiredFields
{
public:
    void Note(Serializer& s, const char* key)
    {
        if (!mMissing && !s.IsGood())
            mMissing = key;
    }
    const char* Missing() const { return mMissing ? mMissing : "serializable"; }

private:
    const char* mMissing = nullptr;
};
