#include "graphics/resource/Material.h"

#include "LOOM/base/FileUtils.h"
#include "LOOM/serial/XMLLoader.h"

namespace {

void SerializeTexture(Serializer& s, const char* name, TextureRef& texture)
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

} // namespace

void Material::SerializeFields(Serializer& s)
{
    SerializeTexture(s, "Diffuse", mDiffuse);
    SerializeTexture(s, "Normal", mNormal);
    SerializeTexture(s, "Effect", mEffect);
    SerializeColorField(s, "AmbientColor", mAmbientColor);
    SerializeColorField(s, "DiffuseColor", mDiffuseColor);
    SerializeColorField(s, "SpecularColor", mSpecularColor);
    s.SerializeRealField("Power", mPower);
    s.SerializeVector("Params", mParams);
}

void Material::Load(const std::string& fileName)
{
    XMLLoader loader;
    if (loader.Open(fileName) && loader.BeginField("material", nullptr, false, TypeElement, this))
    {
        SerializeFields(loader);
        loader.EndField("material", false);
    }
    loader.Close();
    mDiffuse.Reload();
    mNormal.Reload();
    mEffect.Reload();
}
