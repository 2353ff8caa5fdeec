#pragma once
#include <string>
#include <vector>

#include "LOOM/math/Color.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"
#include "LOOM/serial/Serializer.h"

// A record holding every kind of field the serializers know.
struct Child
{
    std::string mName;
    int32_t mCount = 0;
    Vector3 mOffset;

    void Serialize(Serializer& s)
    {
        s.SerializeString("Name", mName);
        s.SerializeInt("Count", mCount);
        s.SerializeVector("Offset", mOffset);
    }
    bool operator==(const Child&) const = default;
};

struct AllFields
{
    std::string mText;
    int32_t mInt = 0;
    uint32_t mUint = 0;
    bool mBool = false;
    float mReal = 0.0f;
    double mDouble = 0.0;
    char mChar = ' ';
    Vector3 mPosition;
    Quat mRotation;
    Color mTint;
    int32_t mShadow = 0;
    uint32_t mBounding = 0;
    std::vector<std::string> mFiles;
    std::vector<std::string> mTags;
    Child mChild;
    std::vector<std::string> mEmpty;
    std::vector<Child> mChildren;

    void Serialize(Serializer& s)
    {
        s.SerializeString("Text", mText);
        s.SerializeInt("Int", mInt);
        if (s.BeginField("uint", "Uint", true, TypeUInt, &mUint))
        {
            s.Serialize(mUint);
            s.EndField("uint", true);
        }
        s.SerializeBoolField("Bool", mBool);
        s.SerializeRealField("Real", mReal);
        if (s.BeginField("real", "Double", true, TypeDouble, &mDouble))
        {
            s.Serialize(mDouble);
            s.EndField("real", true);
        }
        if (s.BeginField("char", "Char", true, TypeChar, &mChar))
        {
            s.Serialize(mChar);
            s.EndField("char", true);
        }
        s.SerializeVector("Position", mPosition);
        if (s.BeginField("quat", "Rotation", false, TypeQuat, &mRotation))
        {
            s.SerializeQuat(mRotation);
            s.EndField("quat", false);
        }
        if (s.BeginField("color", "Tint", false, TypeColor, &mTint))
        {
            s.SerializeColor(mTint);
            s.EndField("color", false);
        }
        s.SerializeEnum("Shadow", mShadow, "ShadowType");
        s.SerializeUintEnum("BoundingType", mBounding, "BoundingType");
        s.SerializeFileListField("Files", mFiles);
        s.SerializeStringListField("Tags", mTags);
        s.SerializeObject(mChild);
        s.SerializeFileListField("Empty", mEmpty);
        SerializeElementList(s, "Children", mChildren, "serializable", TypeObject);
    }
    bool operator==(const AllFields&) const = default;
};

inline AllFields MakeAllFields()
{
    AllFields record;
    record.mText = "Fear the <Power> & the default Trap!";
    record.mInt = -123456;
    record.mUint = 4000000000u;
    record.mBool = true;
    record.mReal = 0.1f;
    record.mDouble = 123460.0; // as "1.2346e+05" loads
    record.mChar = '&';
    record.mPosition = {1.0f, 2.25f, -3.0f};
    record.mRotation.w = 0.5f;
    record.mRotation.x = -0.5f;
    record.mRotation.y = 0.25f;
    record.mRotation.z = 0.75f;
    record.mTint.r = 1.0f;
    record.mTint.g = 0.5f;
    record.mTint.b = 0.0f;
    record.mTint.a = 0.75f;
    record.mShadow = 2;
    record.mBounding = 1;
    record.mFiles = {"Art\\a.xml", "b.xml"};
    record.mTags = {"one two", "three"};
    record.mChild = {"inner", 7, {0.5f, 0.0f, 100.0f}};
    record.mChildren = {{"first", 1, {1, 1, 1}}, {"second", -2, {0, 0, 0.001f}}};
    return record;
}
