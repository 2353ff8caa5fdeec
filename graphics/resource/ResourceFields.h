#pragma once

struct Color;
class Serializer;
class TextureRef;

// Fields that materials, scene components and widgets store alike.
// A "texture" field: the file name, kept in the data folder's names on load.
void SerializeTextureField(Serializer& s, const char* name, TextureRef& texture);
// A "color" field.
void SerializeColorField(Serializer& s, const char* name, Color& color);
