#include "LOOM/serial/Serializer.h"

#include "LOOM/base/FileUtils.h"

#include "LOOM/math/Color.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"

namespace {
template <typename T>
void SingleField(Serializer& s, const char* typeName, uint32_t code, const char* name, T& value)
{
    if (s.BeginField(typeName, name, true, code, &value))
    {
        s.Serialize(value);
        s.EndField(typeName, true);
    }
}
} // namespace

void Serializer::SerializeString(const char* name, std::string& value)
{
    SingleField(*this, "string", TypeString, name, value);
}
void Serializer::SerializeFile(const char* name, std::string& value)
{
    SingleField(*this, "file", TypeElement, name, value);
}
void Serializer::SerializeDataFile(const char* name, std::string& value)
{
    SerializeFile(name, value);
    if (!IsSaving())
        KeepDataName(value);
}
void Serializer::SerializeInt(const char* name, int32_t& value) { SingleField(*this, "int", TypeInt, name, value); }
void Serializer::SerializeRealField(const char* name, float& value)
{
    SingleField(*this, "real", TypeFloat, name, value);
}
void Serializer::SerializeBoolField(const char* name, bool& value)
{
    SingleField(*this, "bool", TypeBool, name, value);
}

void Serializer::SerializeEnum(const char* name, int32_t& value, const char* enumTypeName)
{
    if (BeginField("int", name, true, TypeInt, &value))
    {
        SerializeNamed("type", enumTypeName);
        Serialize(value);
        EndField("int", true);
    }
}

void Serializer::SerializeUintEnum(const char* name, uint32_t& value, const char* enumTypeName)
{
    if (BeginField("uint", name, true, TypeUInt, &value))
    {
        SerializeNamed("type", enumTypeName);
        Serialize(value);
        EndField("uint", true);
    }
}

void Serializer::SerializeFileList(std::vector<std::string>& files)
{
    SerializeListHead(files, "file");
    for (std::string& file : files)
        SingleField(*this, "file", TypeElement, nullptr, file);
}

void Serializer::SerializeStringList(std::vector<std::string>& texts)
{
    SerializeListHead(texts, "string");
    for (std::string& text : texts)
        SingleField(*this, "string", TypeString, nullptr, text);
}

bool Serializer::SerializeFileListField(const char* name, std::vector<std::string>& files)
{
    if (!BeginField("list", name, false, TypeElement, &files))
        return false;
    SerializeFileList(files);
    EndField("list", false);
    return true;
}

bool Serializer::SerializeStringListField(const char* name, std::vector<std::string>& texts)
{
    if (!BeginField("list", name, false, TypeElement, &texts))
        return false;
    SerializeStringList(texts);
    EndField("list", false);
    return true;
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
    if (BeginField("string", name, true, TypeString, &value))
    {
        SerializeNamed("type", typeName);
        Serialize(value);
        EndField("string", true);
    }
}
