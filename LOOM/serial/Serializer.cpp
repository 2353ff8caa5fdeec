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
void Serializer::SerializeRealMember(const char* name, float& value)
{
    SingleField(*this, "real", TypeFloat, name, value);
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

void Serializer::SerializeFileItem(std::string& file) { SingleField(*this, "file", TypeElement, nullptr, file); }
void Serializer::SerializeStringItem(std::string& text) { SingleField(*this, "string", TypeString, nullptr, text); }

void Serializer::SerializeFileList(std::vector<std::string>& files)
{
    SerializeListHead(files, "file");
    for (std::string& file : files)
        SerializeFileItem(file);
}

void Serializer::SerializeStringList(std::vector<std::string>& texts)
{
    SerializeListHead(texts, "string");
    for (std::string& text : texts)
        SerializeStringItem(text);
}

void Serializer::SerializeVector(const char* name, Vector3& vector)
{
    if (BeginField("vector", name, false, TypeVector, &vector))
    {
        SerializeVector3(vector);
        EndField("vector", false);
    }
}

void Serializer::SerializeVector3(Vector3& vector)
{
    SerializeRealMember("x", vector.x);
    SerializeRealMember("y", vector.y);
    SerializeRealMember("z", vector.z);
}

void Serializer::SerializeQuat(Quat& quat)
{
    SerializeRealMember("x", quat.x);
    SerializeRealMember("y", quat.y);
    SerializeRealMember("z", quat.z);
    SerializeRealMember("w", quat.w);
}

void Serializer::SerializeColor(Color& color)
{
    SerializeRealMember("Red", color.r);
    SerializeRealMember("Green", color.g);
    SerializeRealMember("Blue", color.b);
    SerializeRealMember("Alpha", color.a);
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
