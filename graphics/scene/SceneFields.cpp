#include "graphics/scene/SceneFields.h"

#include "LOOM/base/FileUtils.h"
#include "LOOM/math/Color.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/resource/ResourceFields.h"

namespace SceneFields {

namespace {
template <typename T>
void Single(Serializer& s, const char* tag, uint32_t code, const char* name, T& value, const char* enumType = nullptr)
{
    if (s.BeginField(tag, name, true, code, &value))
    {
        if (enumType)
            s.SerializeNamed("type", enumType);
        s.Serialize(value);
        s.EndField(tag, true);
    }
}
} // namespace

void Int(Serializer& s, const char* name, int32_t& value) { Single(s, "int", 101, name, value); }
void Uint(Serializer& s, const char* name, uint32_t& value) { Single(s, "uint", 100, name, value); }
void Enum(Serializer& s, const char* name, int32_t& value, const char* enumType)
{
    Single(s, "int", 101, name, value, enumType);
}

void ColorField(Serializer& s, const char* name, Color& color) { SerializeColorField(s, name, color); }

void Texture(Serializer& s, const char* name, TextureRef& texture) { SerializeTextureField(s, name, texture); }

void FileList(Serializer& s, const char* name, std::vector<std::string>& files)
{
    // A refused name stays as an empty entry: the list's places are indices.
    if (s.SerializeFileListField(name, files) && !s.IsSaving())
        for (std::string& file : files)
            KeepDataName(file);
}

} // namespace SceneFields
