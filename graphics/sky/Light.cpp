#include "graphics/sky/Light.h"

#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/resource/ResourceFields.h"
#include "graphics/sky/Sun.h"

namespace {
class LightCompFactory : public CompFactoryOf<Light>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("SetRange", MakeCompFunctor(Light::kTypeId, &Light::SetRange));
        composer.BindMessage("SetDirection", MakeCompFunctor(Light::kTypeId, &Light::SetDirection));
        composer.BindMessage("SetColor", MakeCompFunctor(Light::kTypeId, &Light::SetColor));
        composer.BindMessage("SetAtt", MakeCompFunctor(Light::kTypeId, &Light::SetAtt));
    }
};
LightCompFactory gLightFactory;
} // namespace

CompFactory* LightFactory() { return &gLightFactory; }

Light::~Light()
{
    if (mSun && mSun == Sun::Current())
        mSun->RemoveLight(this);
}

void Light::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeString("LightType", mLightType);
    s.SerializeBoolField("Active", mActive);
    s.SerializeRealField("Attenuation0", mAttenuation0);
    s.SerializeRealField("Attenuation1", mAttenuation1);
    s.SerializeRealField("Attenuation2", mAttenuation2);
    s.SerializeRealField("Falloff", mFalloff);
    s.SerializeRealField("Range", mRange);
    s.SerializeRealField("Theta", mTheta);
    s.SerializeRealField("Phi", mPhi);
    s.SerializeVector("Direction", mDirection);
    SerializeColorField(s, "Diffuse", mDiffuse);
    SerializeColorField(s, "Specular", mSpecular);
}

void Light::Initialize()
{
    if (mSun)
        return;
    if (Sun* sun = Sun::Current())
    {
        sun->AddLight(this);
        mSun = sun;
    }
}

Vector3 Light::GetPosition() const { return mOwnerPositional ? mOwnerPositional->GetPosition() : Vector3(); }

void Light::SetAtt(float a0, float a1, float a2)
{
    mAttenuation0 = a0;
    mAttenuation1 = a1;
    mAttenuation2 = a2;
}
