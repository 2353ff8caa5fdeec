#pragma once
#include <string>

#include "LOOM/math/Color.h"
#include "LOOM/math/Vector3.h"
#include "graphics/resource/Resource.h"
#include "graphics/resource/Texture.h"

class Serializer;

// Three texture maps, three colours, a specular power and a free parameter vector, read from
// a "material" XML file.
class Material : public Resource
{
public:
    void Load(const std::string& fileName) override;
    void SerializeFields(Serializer& s);

    TextureRef mDiffuse;
    TextureRef mNormal;
    TextureRef mEffect;
    Color mAmbientColor{1.0f, 1.0f, 1.0f, 1.0f};
    Color mDiffuseColor{1.0f, 1.0f, 1.0f, 1.0f};
    Color mSpecularColor{1.0f, 1.0f, 1.0f, 1.0f};
    float mPower = 0.0f;
    Vector3 mParams{0.0f, 0.0f, 0.0f};
};
