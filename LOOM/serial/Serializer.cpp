#include "LOOM/serial/Serializer.h"

#include <limits>

#include "LOOM/base/FileUtils.h"

#include "LOOM/math/Color.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"

namespace {
// A single field whose stored form names what it holds (an enum, a shader, ...) as the
// attribute "type" before the value.
template <typename T>
void NamedTypeField(Serializer& s, const char* typeName, uint32_t code, const char* name, T& value, const char* type)
{
    if (s.BeginField(typeName, name, true, code, &value))
    {
        s.SerializeNamed("type", type);
        s.Serialize(value);
        s.EndField(typeName, true);
    }
}

// A list body of texts, each item a single field of typeName.
void TextList(Serializer& s, std::vector<std::string>& items, const char* typeName, uint32_t code)
{
    s.SerializeListHead(items, typeName);
    for (std::string& item : items)
        SerializeSingle(s, typeName, nullptr, code, item);
}

bool TextListField(Serializer& s, const char* name, std::vector<std::string>& items, const char* typeName,
                   uint32_t code)
{
    if (!s.BeginField("list", name, false, TypeElement, &items))
        return false;
    TextList(s, items, typeName, code);
    s.EndField("list", false);
    return true;
}
} // namespace

void Serializer::SerializeString(const char* name, std::string& value)
{
    SerializeSingle(*this, "string", name, TypeString, value);
}
void Serializer::SerializeFile(const char* name, std::string& value)
{
    SerializeSingle(*this, "file", name, TypeElement, value);
}
void Serializer::SerializeDataFile(const char* name, std::string& value)
{
    SerializeFile(name, value);
    if (!IsSaving())
        CheckDataName(value);
}
void Serializer::SerializeInt(const char* name, int32_t& value) { SerializeSingle(*this, "int", name, TypeInt, value); }
void Serializer::SerializeRealField(const char* name, float& value)
{
    SerializeSingle(*this, "real", name, TypeFloat, value);
}
void Serializer::SerializeInt(const char* name, int32_t& value, int32_t least, int32_t most)
{
    SetNumberBounds(least, most);
    SerializeInt(name, value);
    SetNumberBounds(-std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity());
}

void Serializer::SerializeRealField(const char* name, float& value, double least, double most)
{
    SetNumberBounds(least, most);
    SerializeRealField(name, value);
    SetNumberBounds(-std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity());
}

void Serializer::SerializeBoolField(const char* name, bool& value)
{
    SerializeSingle(*this, "bool", name, TypeBool, value);
}

void Serializer::SerializeEnum(const char* name, int32_t& value, const char* enumTypeName)
{
    NamedTypeField(*this, "int", TypeInt, name, value, enumTypeName);
}

void Serializer::SerializeUintEnum(const char* name, uint32_t& value, const char* enumTypeName)
{
    NamedTypeField(*this, "uint", TypeUInt, name, value, enumTypeName);
}

void Serializer::SerializeFileList(std::vector<std::string>& files) { TextList(*this, files, "file", TypeElement); }

void Serializer::SerializeStringList(std::vector<std::string>& texts) { TextList(*this, texts, "string", TypeString); }

bool Serializer::SerializeFileListField(const char* name, std::vector<std::string>& files)
{
    return TextListField(*this, name, files, "file", TypeElement);
}

bool Serializer::SerializeStringListField(const char* name, std::vector<std::string>& texts)
{
    return TextListField(*this, name, texts, "string", TypeString);
}

void Serializer::SerializeVector(const char* name, Vector3& vector)
{
    if (BeginField("vector", name, false, TypeVector, &vector))
    {
        SerializeRealField("x", vector.x);
        SerializeRealField("y", vector.y);
        SerializeRealField("z", vector.z);
        EndField("vector", false);
    }
}

void Serializer::SerializeQuat(Quat& quat)
{
    SerializeRealField("x", quat.x);
    SerializeRealField("y", quat.y);
    SerializeRealField("z", quat.z);
    SerializeRealField("w", quat.w);
}

void Serializer::SerializeColor(Color& color)
{
    SerializeRealField("Red", color.r);
    SerializeRealField("Green", color.g);
    SerializeRealField("Blue", color.b);
    SerializeRealField("Alpha", color.a);
}

void Serializer::SerializeRangedReal(const char* name, float& value, float min, float max, float inc)
{
    if (BeginField("real", name, true, TypeFloat, &value))
    {
        SerializeNamed("min", min);
        SerializeNamed("max", max);
        SerializeNamed("inc", inc);
        Serialize(value);
        EndField("real", true);
    }
}

void Serializer::SerializeTypedString(const char* name, std::string& value, const char* typeName)
{
    NamedTypeField(*this, "string", TypeString, name, value, typeName);
}
