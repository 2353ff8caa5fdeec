#pragma once
#include <cstdint>

#include "LOOM/serial/Serializer.h"

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
