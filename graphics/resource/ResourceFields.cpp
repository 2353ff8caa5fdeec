#include "graphics/resource/ResourceFields.h"

#include "LOOM/base/FileUtils.h"
#include "LOOM/math/Color.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/resource/Texture.h"

void SerializeTextureField(Serializer& s, const char* name, TextureRef& texture)
{
    if (s.BeginField("texture", name, true, TypeTexture, &texture))
    {
        s.Serialize(texture.File());
        if (!s.IsSaving())
            KeepDataName(texture.File());
        s.EndField("texture", true);
    }
}

void SerializeColorField(Serializer& s, const char* name, Color& color)
{
    if (s.BeginField("color", name, false, TypeColor, &color))
    {
        s.SerializeColor(color);
        s.EndField("color", false);
    }
}
