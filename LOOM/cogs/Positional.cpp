#include "LOOM/cogs/Positional.h"

#include "LOOM/base/TypeCode.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "LOOM/space/QTree.h"

namespace {
class PositionalFactory : public CompFactoryOf<Positional>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("ResetPosition", MakeCompFunctor(1, &Positional::ResetPosition));
        composer.BindMessage("SetPosition", MakeCompFunctor(1, &Positional::SetPosition));
        composer.BindMessage("GetPosition", MakeCompFunctor(1, &Positional::GetPositionValue));
        composer.BindMessage("SetOrientation", MakeCompFunctor(1, &Positional::SetOrientation));
        composer.BindMessage("GetOrientation", MakeCompFunctor(1, &Positional::GetOrientationValue));
        composer.BindMessage("SetVelocity", MakeCompFunctor(1, &Positional::SetVelocity));
        composer.BindMessage("SetDirection", MakeCompFunctor(1, &Positional::SetDirection));
        composer.BindMessage("GetDirection", MakeCompFunctor(1, &Positional::GetDirection));
    }
};

PositionalFactory gPositionalFactory;
} // namespace

Positional::Positional() { ResetPosition(); }

void Positional::Serialize(Serializer& s)
{
    SerializeHeader(s);
    Vector3 position = GetPosition();
    s.SerializeVector("Position", position);
    if (!s.IsSaving())
        StorePosition(position);
    s.SerializeVector("Velocity", mVelocity);
    if (s.BeginField("quat", "Orientation", false, TypeQuat, &mOrientation))
    {
        s.SerializeQuat(mOrientation);
        s.EndField("quat", false);
    }
    uint32_t boundingType = GetBoundingType();
    s.SerializeUintEnum("BoundingType", boundingType, "BoundingType");
    SetBoundingType(boundingType);
    s.SerializeBoolField("Visible", mVisible);
    // A cog read from a file is filed where it stands, not where it was constructed.
    if (!s.IsSaving())
        UpdateQuadTree();
}

void Positional::ResetPosition()
{
    StorePosition(Vector3(0.0f, 0.0f, 0.0f));
    mVelocity = Vector3(0.0f, 0.0f, 0.0f);
    mOrientation = Quat();
    UpdateQuadTree();
}

void Positional::SetPosition(Vector3 position)
{
    StorePosition(position);
    UpdateQuadTree();
}

void Positional::SetDirection(Vector3 direction) { mOrientation = Quat::FromDirection(direction); }

Vector3 Positional::GetDirection() const { return mOrientation.GetForward(); }

void Positional::UpdateQuadTree()
{
    if (QTree* tree = QTree::Instance())
        tree->UpdateObject(this);
}

void RegisterPositional(CogFactory& cogs) { cogs.Types().RegisterComponent(1, &gPositionalFactory); }

Cog* CreateAt(CogFactory& cogs, std::string name, Vector3 position)
{
    Cog* cog = cogs.Allocate(name);
    if (!cog)
    {
        Console::Instance().Log("Failed to Create: " + name, LogError);
        return nullptr;
    }
    if (Positional* positional = cog->Get<Positional>())
    {
        positional->StorePosition(position);
        // Filed now, so overlap queries find the new cog at once.
        positional->UpdateQuadTree();
    }
    cog->Initialize();
    return cog;
}
