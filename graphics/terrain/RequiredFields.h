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
    // One field read and noted.
    void Real(Serializer& s, const char* key, float& value)
    {
        s.SerializeRealField(key, value);
        Note(s, key);
    }
    void Int(Serializer& s, const char* key, int32_t& value)
    {
        s.SerializeInt(key, value);
        Note(s, key);
    }
    void Text(Serializer& s, const char* key, std::string& value)
    {
        s.SerializeString(key, value);
        Note(s, key);
    }
    void Vector(Serializer& s, const char* key, Vector3& value)
    {
        s.SerializeVector(key, value);
        Note(s, key);
    }
    const char* Missing() const { return mMissing ? mMissing : "serializable"; }

private:
    const char* mMissing = nullptr;
};
