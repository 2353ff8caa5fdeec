#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Color;
class Serializer;
class TextureRef;

// Field shapes the scene components share. Integers go out under "int" with code 101 and
// "uint" with code 100, as the scene's stored forms have them.
namespace SceneFields {
void Int(Serializer& s, const char* name, int32_t& value);
void Uint(Serializer& s, const char* name, uint32_t& value);
void Enum(Serializer& s, const char* name, int32_t& value, const char* enumType);
void ColorField(Serializer& s, const char* name, Color& color);
void Texture(Serializer& s, const char* name, TextureRef& texture);
void FileList(Serializer& s, const char* name, std::vector<std::string>& files);
} // namespace SceneFields
