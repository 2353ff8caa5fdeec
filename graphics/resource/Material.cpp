#include "graphics/resource/Material.h"

#include "LOOM/base/FileUtils.h"
#include "LOOM/serial/XMLLoader.h"
#include "graphics/resource/ResourceFields.h"

void Material::SerializeFields(Serializer& s)
{
    SerializeTextureField(s, "Diffuse", mDiffuse);
    SerializeTextureField(s, "Normal", mNormal);
    SerializeTextureField(s, "Effect", mEffect);
    SerializeColorField(s, "AmbientColor", mAmbientColor);
    SerializeColorField(s, "DiffuseColor", mDiffuseColor);
    SerializeColorField(s, "SpecularColor", mSpecularColor);
    s.SerializeRealField("Power", mPower);
    s.SerializeVector("Params", mParams);
}

void Material::Load(const std::string& fileName)
{
    if (IsRefusedDataName(fileName)) // reported when the name was read
        return;
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
