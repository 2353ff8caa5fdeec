#include "LOOM/serial/FieldRecorder.h"

FieldRecorder::FieldRecorder(const std::string&) {}

FieldRecorder::~FieldRecorder()
{
    mFields.clear();
    mTypeName.clear();
}

bool FieldRecorder::BeginField(const char* /*typeName*/, const char* fieldName, bool /*single*/, uint32_t code,
                               void* value)
{
    switch (code)
    {
    case TypeInt:
    case TypeFloat:
    case TypeDouble:
    case TypeByte:
    case TypeBool:
    case TypeString:
    case TypeVector:
    case TypeQuat:
        if (fieldName)
        {
            const auto offset = static_cast<uint32_t>(static_cast<const char*>(value) - mBase);
            // The first record of a name stays.
            mFields.emplace(fieldName, FieldRecord{code, offset});
        }
        return false;
    case 201:
        // A group of fields: go on into its members.
        return true;
    default:
        return false;
    }
}

void FieldRecorder::SerializeNamed(const std::string& name, const char* const& value)
{
    if (name == "name" && value)
        mTypeName = value;
}
