#include "graphics/particles/Emitter.h"

#include <cmath>
#include <string>
#include <string_view>

#include "LOOM/console/Console.h"
#include "LOOM/math/Random.h"
#include "LOOM/serial/DataNumber.h"
#include "LOOM/serial/Serializer.h"
#include "LOOM/serial/XMLLoader.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/model/DistanceMap.h"
#include "graphics/model/ModelStores.h"
#include "graphics/particles/ParticleMath.h"
#include "graphics/particles/ParticleSystem.h"
#include "graphics/scene/SceneFields.h"
#include "graphics/scene/path/Path.h"

namespace {

constexpr float kTwoPi = 6.2831853f;

// From the loom's store while it runs; a private copy otherwise.
Ref<DistanceMap> TakeDistanceMap(const std::string& name)
{
    if (ModelStores::sDistanceMaps)
        return ModelStores::sDistanceMaps->GetRef(name);
    auto map = Ref<DistanceMap>::Adopt(new DistanceMap());
    map->Load(name);
    return map;
}

// From the loom's path store while it runs; a private copy otherwise.
Ref<Path> TakePath(const std::string& name)
{
    if (GraphicsLoom* loom = GraphicsLoom::Instance())
        return loom->Stores().Paths().GetRef(name);
    auto path = Ref<Path>::Adopt(new Path());
    path->Load(name);
    return path;
}

} // namespace

void MinMax::Serialize(Serializer& s, const char* name)
{
    if (s.BeginField("MinMax", name, false, 0, this))
    {
        auto* xml = dynamic_cast<XMLLoader*>(&s);
        if (xml)
            ReadMembers(*xml, name);
        else
        {
            s.SerializeRealField("Min", Min);
            if (!s.IsSaving())
                Max = Min;
            s.SerializeRealField("Max", Max);
            s.EndField("MinMax", false);
        }
    }
    mRange = Max != Min;
}

void MinMax::ReadMembers(XMLLoader& loader, const char* name)
{
    // "Max" may be left out, which the loader's strict field order cannot express: the
    // members are read up to the end tag. Anything else is left for the loader to report.
    XMLReader& reader = loader.GetReader();
    bool haveMax = false;
    while (reader.ParseElement())
    {
        if (reader.Kind() == XMLReader::KindText)
            continue;
        if (reader.Kind() == XMLReader::KindEnd && !reader.IsSelfClosing())
        {
            if (reader.ElementName() == "MinMax")
                break;
            continue;
        }
        const std::string member = reader.GetAttribute("name");
        std::string_view raw;
        if (reader.ElementName() != "real" || reader.IsEmpty() || !reader.ReadText(raw))
            continue;
        if (member != "Min" && member != "Max")
            continue;
        float& value = member == "Min" ? Min : Max;
        if (const char* why = DataNumber::Parse(raw, value))
        {
            // A refused Max leaves the pair constant, as one never given does.
            DataNumber::Refuse(loader.FileName(), reader.TokenLine(), std::string(name) + " " + member, raw,
                               DataNumber::Why(why, 0.0, 0.0), DataNumber::Text(&value == &Max ? Min : value));
            continue;
        }
        haveMax = haveMax || &value == &Max;
    }
    if (!haveMax)
        Max = Min;
}

float MinMax::Sample() const { return mRange ? RandomFloat(Min, Max) : Min; }

Emitter::~Emitter() = default;

void Emitter::Serialize(Serializer& s)
{
    SceneFields::Int(s, "AnimIndex", AnimIndex);
    s.SerializeRealField("EmitRate", EmitRate);
    SceneFields::Enum(s, "EmitType", EmitType, "emitType");
    SceneFields::Enum(s, "EmitBehavior", EmitBehavior, "behavior");
    SceneFields::Uint(s, "EmitSystem", EmitSystem);
    SceneFields::Int(s, "DMNumber", DMNumber);
    s.SerializeRealField("DMScale", DMScale);
    SceneFields::ColorField(s, "InitColor", InitColor);
    PartSpeed.Serialize(s, "PartSpeed");
    PartLifeTime.Serialize(s, "PartLifeTime");
    s.SerializeVector("EmitDirection", EmitDirection);
    s.SerializeRealField("EmitPhi", EmitPhi);
    s.SerializeRealField("LifeTime", LifeTime);
    s.SerializeRealField("Speed", Speed);
    s.SerializeRealField("Friction", Friction);
    s.SerializeVector("EPosition", EPosition);
    s.SerializeVector("EDirection", EDirection);
    s.SerializeRealField("Distance", Distance);
    SceneFields::Uint(s, "TotalToRelease", TotalToRelease);
    s.SerializeFile("PathFile", PathFile);
    s.SerializeFile("DisMapFile", DisMapFile);
}

bool Emitter::Load(const std::string& fileName)
{
    mFileName = fileName;
    if (!XMLLoader::LoadElement(fileName, "Emitter", *this))
        return false;
    // Each emission is work in the frame: a rate past any effect's would hold the game.
    if (!(EmitRate >= 0.0f && EmitRate <= kMostEmitRate))
    {
        Console::Instance().Log(fileName + ": EmitRate " + std::to_string(EmitRate) + " refused (0 to " +
                                    std::to_string(int(kMostEmitRate)) + " a second); the emitter emits nothing",
                                LogError);
        EmitRate = 0.0f;
    }
    return true;
}

void Emitter::Init(size_t systemCount)
{
    if (!PathFile.empty() && !mPath)
        mPath = TakePath(PathFile);
    if (!DisMapFile.empty() && !mDistanceMap)
        mDistanceMap = TakeDistanceMap(DisMapFile);
    EDirection.Normalize();
    mPosition = EPosition;
    Friction = 1.0f - Friction;
    mActive = true;
    mAccumulator = 1.1f;
    mFirstUpdate = true;
    ClampDMNumber();
    if (EmitSystem >= systemCount)
    {
        Console::Instance().Log("Emitter " + mFileName + ": system " + std::to_string(EmitSystem) + " of " +
                                    std::to_string(systemCount) + " does not exist; it emits nothing",
                                LogError);
        mActive = false;
    }
}

void Emitter::ClampDMNumber()
{
    if (!mDistanceMap)
        return;
    const int64_t count = static_cast<int64_t>(mDistanceMap->mPoints.size());
    if (DMNumber >= count)
        DMNumber = static_cast<int32_t>(count - 1);
}

void Emitter::SetDistanceMap(const std::string& fileName)
{
    if (!mDistanceMap)
        return;
    mDistanceMap = TakeDistanceMap(fileName);
    ClampDMNumber();
}

void Emitter::InitParticle(Particle& p, const Vector3& trail) const
{
    const float s = PartSpeed.Sample();
    switch (EmitType)
    {
    case 1:
    {
        const Vector3 u = RandomUnitVector();
        p.mVelocity = u * s;
        p.mPosition += u * EmitPhi;
        break;
    }
    case 2:
        p.mVelocity = EmitDirection.IsZero() ? Vector3() : RandomVectorInCone(EmitDirection, EmitPhi) * s;
        break;
    case 4:
        // A standing emitter has no trail to follow.
        p.mVelocity = DotProduct(trail, trail) > 0.0f ? RandomVectorInCone(trail, EmitPhi) * s : Vector3();
        break;
    case 5:
    {
        p.mVelocity = Vector3();
        const float len = std::sqrt(DotProduct(trail, trail));
        if (len > 0.0f)
        {
            Vector3 v = RandomVectorInCone(trail, 3.14f);
            v.x += 0.001f;
            v.y = 0.0f;
            p.mPosition = v.Normalized() * len;
        }
        else
        {
            p.mPosition = Vector3();
        }
        break;
    }
    case 7:
    {
        p.mVelocity = EmitDirection * s;
        if (EmitDirection.IsZero())
            break;
        Vector3 a, b;
        BuildPerpendicularBasis(EmitDirection.Normalized(), a, b);
        const float r = RandomFloat(0.0f, EmitPhi);
        const float theta = RandomFloat(0.0f, kTwoPi);
        p.mPosition += a * (r * std::sin(theta)) + b * (r * std::cos(theta));
        break;
    }
    default:
        // 0, 3, 6 and unknown types: at rest.
        p.mVelocity = Vector3();
        break;
    }
}

void Emitter::Emit(ParticleSystem& system, const Vector3& position, const Vector3& trail) const
{
    Particle p;
    p.mColor = InitColor;
    p.mLifetime = PartLifeTime.Sample();
    p.mColorRate = Color{};
    p.mKeyIndex = 0;
    p.mAge = 0.0f;
    p.mPosition = position;
    InitParticle(p, trail);
    system.AddParticle(p);
}

int32_t Emitter::Update(bool transform, const Matrix4& placement, float dt,
                        const std::vector<std::unique_ptr<ParticleSystem>>& systems)
{
    if (!mActive || EmitSystem >= systems.size())
        return 0;
    ClampDMNumber();
    mElapsed += dt;
    mAccumulator += dt * EmitRate;

    if (EmitBehavior == 1)
    {
        // Without a usable path the emitter stays at its fixed place.
        if (mPath && mPath->GetPointCount() >= 2)
        {
            Distance += dt * Speed;
            const float total = mPath->GetTotalLength();
            if (Distance > total)
                Distance = 0.0f;
            if (Distance < 0.0f)
                Distance = total;
            mPosition = mPath->PointAtDistance(Distance);
        }
        else
        {
            mPosition = EPosition;
        }
    }
    else if (EmitBehavior != 0)
    {
        mPosition = EPosition;
    }

    ParticleSystem& system = *systems[EmitSystem];
    const Vector3 world = transform ? mPosition : placement.TransformPoint(mPosition);
    system.SetEmitPosition(world);
    if (mFirstUpdate)
    {
        mLastWorld = world;
        mFirstUpdate = false;
    }
    Vector3 trail = mLastWorld - world;
    trail.Normalize();

    // No more bursts than the system has room for: a burst past that adds nothing. Rates set by
    // a script are not checked as a file's are.
    const float room = float(system.Room());
    const float due = mAccumulator < room ? mAccumulator : room;
    const int32_t n = due >= 1.0f ? static_cast<int32_t>(due) : 0;
    mAccumulator = mAccumulator < room ? mAccumulator - static_cast<float>(n) : 0.0f;
    if (TotalToRelease != 0)
    {
        // Signed: drawing more than is left ends the emitter instead of wrapping.
        const int64_t left = static_cast<int64_t>(TotalToRelease) - n;
        if (n > left)
            mActive = false;
        TotalToRelease = left > 0 ? static_cast<uint32_t>(left) : 0;
    }

    const std::vector<Vector3>* points = mDistanceMap ? &mDistanceMap->mPoints : nullptr;
    for (int32_t burst = 0; burst < n; ++burst)
    {
        switch (EmitBehavior)
        {
        case 2:
            if (points)
                for (int32_t i = 0; i < DMNumber && size_t(i) < points->size(); ++i)
                    Emit(system, placement.TransformPoint((*points)[size_t(i)] * DMScale), trail);
            break;
        case 3:
            if (points && !points->empty() && DMNumber >= 0)
            {
                const int32_t k = RandomInt(0, DMNumber);
                if (size_t(k) < points->size())
                    Emit(system, placement.TransformPoint((*points)[size_t(k)] * DMScale), trail);
            }
            break;
        case 4:
        {
            Particle p;
            p.mColor = InitColor;
            p.mLifetime = PartLifeTime.Sample();
            p.mColorRate = Color{};
            p.mPosition = world;
            InitParticle(p, trail);
            // Starts ahead on its own path.
            p.mPosition += p.mVelocity * RandomFloat(0.0f, EmitPhi);
            system.AddParticle(p);
            break;
        }
        default:
            Emit(system, world, trail);
            break;
        }
    }
    mLastWorld = world;
    mLastPlacement = placement;
    return n;
}
