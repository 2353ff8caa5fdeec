#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/base/TypeCode.h"

struct Color;
struct Quat;
struct Vector3;

// One Serialize body per persistent class describes its fields; the concrete serializer
// decides whether they are read, written or recorded.
//
// Field protocol: BeginField; when it answers true, describe the value (one Serialize
// overload for a single field, member fields or SerializeNamed attributes then items for a
// compound one) and call EndField with the same type name and single flag. Attributes follow
// their BeginField directly. Readers match fields by order and type name, never by name.
class Serializer
{
public:
    virtual ~Serializer() = default;

    virtual bool Open(std::string fileName) = 0;
    virtual void Close() = 0;
    virtual bool IsGood() = 0;
    virtual bool IsSaving() { return false; }
    virtual bool IsExtended() { return false; }
    // A reader that can look ahead names the component type of the next "comp" element, so a
    // record written before a component joined its composition still loads field for field.
    virtual bool PeekComponentId(uint32_t& /*id*/) { return false; }

    virtual bool BeginField(const char* typeName, const char* fieldName, bool single, uint32_t code, void* value) = 0;
    virtual void EndField(const char* typeName, bool single) = 0;

    // The const overloads are write-only: savers write them, loaders never store through them.
    virtual void Serialize(const std::string& value) = 0;
    virtual void Serialize(std::string& value) = 0;
    virtual void Serialize(char& value) = 0;
    virtual void Serialize(bool& value) = 0;
    virtual void Serialize(uint32_t& value) = 0;
    virtual void Serialize(double& value) = 0;
    virtual void Serialize(int32_t& value) = 0;
    virtual void Serialize(float& value) = 0;

    virtual void SerializeNamed(const std::string& name, const float& value) = 0;
    virtual void SerializeNamed(const std::string& name, const uint32_t& value) = 0;
    virtual void SerializeNamed(const std::string& name, const char* const& value) = 0;
    virtual void SerializeNamed(const std::string& name, std::string& value) = 0;
    virtual void SerializeNamed(const std::string& name, uint32_t& value) = 0;
    virtual void SerializeNamed(const std::string& name, bool& value) = 0;

    // A nested object, wrapped in a "serializable" element.
    template <typename T>
    void SerializeObject(T& object);

    // Field operations shared by every Serialize body.
    void SerializeString(const char* name, std::string& value);
    void SerializeFile(const char* name, std::string& value);
    // A file a data file names: read and written as it stands. On loading, one that is absolute or
    // leaves the data folder is refused (logged) and remembered, so its opener loads it as a
    // missing file.
    void SerializeDataFile(const char* name, std::string& value);
    void SerializeInt(const char* name, int32_t& value);
    void SerializeRealField(const char* name, float& value);
    // Number fields that hold only least to most: a loader refuses a value outside as it refuses
    // text that is no number (logged, the field keeping what it held).
    void SerializeInt(const char* name, int32_t& value, int32_t least, int32_t most);
    void SerializeRealField(const char* name, float& value, double least, double most);
    void SerializeBoolField(const char* name, bool& value);
    void SerializeEnum(const char* name, int32_t& value, const char* enumTypeName);
    void SerializeUintEnum(const char* name, uint32_t& value, const char* enumTypeName);

    // Each member whose element is missing is skipped alone, here and in the compound bodies.
    void SerializeVector(const char* name, Vector3& vector);
    // A quaternion is held w first but written x, y, z, w; the caller wraps it in a "quat" field.
    void SerializeQuat(Quat& quat);
    // The body of a "color" field (code 110).
    void SerializeColor(Color& color);
    // A "real" field carrying the editor's range as the named floats "min", "max", "inc".
    void SerializeRangedReal(const char* name, float& value, float min, float max, float inc);
    // A "string" field carrying what it names (a shader, ...) as the named text "type".
    void SerializeTypedString(const char* name, std::string& value, const char* typeName);

    // List bodies; the caller wraps them in the "list" field.
    void SerializeFileList(std::vector<std::string>& files);
    void SerializeStringList(std::vector<std::string>& texts);
    // The same wrapped in their "list" field; false when the input has no such field.
    bool SerializeFileListField(const char* name, std::vector<std::string>& files);
    bool SerializeStringListField(const char* name, std::vector<std::string>& texts);

    // Steps 2 and 3 of the list protocol: saving writes "size" and "type"; loading reads
    // "size" and resizes the container, never beyond what the input can still hold.
    template <typename T>
    void SerializeListHead(std::vector<T>& items, const char* itemTypeName)
    {
        uint32_t count = static_cast<uint32_t>(items.size());
        if (IsSaving())
        {
            SerializeNamed("size", count);
            SerializeNamed("type", itemTypeName);
            return;
        }
        count = 0;
        SerializeNamed("size", count);
        const uint32_t allowed = CapListCount(count);
        // A loader that has stopped leaves the container as it is.
        if (IsGood())
            items.resize(allowed);
    }

    // A list size read from a file, capped by the items the rest of the input could hold.
    // Loaders log when they have to cap.
    virtual uint32_t CapListCount(uint32_t count) { return count; }

protected:
    // The range that the numbers read until the next call must lie in; only text loaders check it.
    virtual void SetNumberBounds(double /*least*/, double /*most*/) {}
};

// One object as a compound field of its own, its fields inside the element.
template <typename T>
void SerializeElement(Serializer& s, const char* element, uint32_t code, T& object)
{
    if (s.BeginField(element, nullptr, false, code, &object))
    {
        object.Serialize(s);
        s.EndField(element, false);
    }
}

// A field of one plain value that has no named call of its own (a uint, a char, a list item):
// its opening tag, the value and its closing tag.
template <typename T>
void SerializeSingle(Serializer& s, const char* typeName, const char* fieldName, uint32_t code, T& value)
{
    if (s.BeginField(typeName, fieldName, true, code, &value))
    {
        s.Serialize(value);
        s.EndField(typeName, true);
    }
}

// A "list" field: its head, then each item through serializeItem.
template <typename T, typename SerializeItem>
void SerializeItemList(Serializer& s, const char* listName, std::vector<T>& items, const char* itemType,
                       SerializeItem serializeItem)
{
    if (s.BeginField("list", listName, false, TypeElement, &items))
    {
        s.SerializeListHead(items, itemType);
        for (T& item : items)
            serializeItem(item);
        s.EndField("list", false);
    }
}

// A "list" field of objects, each a compound field of its own named element.
template <typename T>
void SerializeElementList(Serializer& s, const char* listName, std::vector<T>& items, const char* element,
                          uint32_t code = TypeElement)
{
    SerializeItemList(s, listName, items, element,
                      [&s, element, code](T& item) { SerializeElement(s, element, code, item); });
}

// A "list" field of elements as a loader reads it: only the items read whole are kept, so a
// broken one and those after it are dropped (the loader reports the break).
template <typename T, typename ReadItem>
void LoadWholeItems(Serializer& s, const char* listName, std::vector<T>& items, const char* element, ReadItem readItem)
{
    size_t complete = 0;
    if (s.BeginField("list", listName, false, TypeElement, &items))
    {
        s.SerializeListHead(items, element);
        for (T& item : items)
        {
            if (!s.BeginField(element, nullptr, false, TypeElement, &item))
                break;
            readItem(item);
            s.EndField(element, false);
            if (!s.IsGood())
                break;
            ++complete;
        }
        s.EndField("list", false);
    }
    items.resize(std::min(complete, items.size()));
}

template <typename T>
void Serializer::SerializeObject(T& object)
{
    SerializeElement(*this, "serializable", TypeObject, object);
}

// The field protocol and value operations every concrete serializer implements, declared once.
#define LOOM_SERIALIZER_OVERRIDES                                                                                      \
    bool BeginField(const char* typeName, const char* fieldName, bool single, uint32_t code, void* value) override;    \
    void EndField(const char* typeName, bool single) override;                                                         \
    void Serialize(const std::string& value) override;                                                                 \
    void Serialize(std::string& value) override;                                                                       \
    void Serialize(char& value) override;                                                                              \
    void Serialize(bool& value) override;                                                                              \
    void Serialize(uint32_t& value) override;                                                                          \
    void Serialize(double& value) override;                                                                            \
    void Serialize(int32_t& value) override;                                                                           \
    void Serialize(float& value) override;                                                                             \
    void SerializeNamed(const std::string& name, const float& value) override;                                         \
    void SerializeNamed(const std::string& name, const uint32_t& value) override;                                      \
    void SerializeNamed(const std::string& name, const char* const& value) override;                                   \
    void SerializeNamed(const std::string& name, std::string& value) override;                                         \
    void SerializeNamed(const std::string& name, uint32_t& value) override;                                            \
    void SerializeNamed(const std::string& name, bool& value) override;
