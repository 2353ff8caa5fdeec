#pragma once
#include <cstdint>

// Value types named by the serializer and by call signatures. A parameter's type letter is
// its code as a byte: 'd' 100 ... 'n' 110.
enum TypeCode : uint32_t
{
    TypeTexture = 0,
    TypeElement = 1, // "file", "list", "pair" and "rect" elements
    TypeObject = 4,  // a nested object
    TypeInt = 100,
    TypeUInt = 101,
    TypeFloat = 102,
    TypeDouble = 103,
    TypeByte = 104,
    TypeBool = 105,
    TypeString = 106,
    TypeCog = 107,
    TypeVector = 108,
    TypeQuat = 109,
    TypeColor = 110,
    TypeChar = 113,
    TypeConfig = 200, // the display-settings record; also a whole archetype in the binary cache
    TypeCollisionData = 215,
};

inline const char* TypeName(uint32_t code)
{
    switch (code)
    {
    case TypeInt:
        return "int";
    case TypeUInt:
        return "uint";
    case TypeFloat:
        return "float";
    case TypeDouble:
        return "double";
    case TypeByte:
        return "byte";
    case TypeBool:
        return "bool";
    case TypeString:
        return "string";
    case TypeCog:
        return "cog";
    case TypeVector:
        return "vector";
    case TypeQuat:
        return "quat";
    case TypeCollisionData:
        return "CollisionData";
    default:
        return "unknown";
    }
}
