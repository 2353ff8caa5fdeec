#include "graphics/particles/ParticleSystem.h"

#include <iterator>
#include <string>

#include "LOOM/console/Console.h"
#include "LOOM/serial/Serializer.h"
#include "LOOM/serial/XMLLoader.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/scene/SceneFields.h"

ParticleSystem::~ParticleSystem() { ParticlePool::Free(static_cast<uint32_t>(mLive.size())); }

void ParticleSystem::Serialize(Serializer& s)
{
    SceneFields::Int(s, "AnimationIndex", AnimationIndex);
    SceneFields::Int(s, "AnimationMode", AnimationMode);
    SceneFields::Enum(s, "UpdateTypes", UpdateTypes, "UpdaterType");
    SceneFields::Enum(s, "BlendModes", BlendModes, "BlendMode");
    SceneFields::Texture(s, "texture", texture);
    s.SerializeVector("Force", Force);
    SceneFields::Uint(s, "maxParticles", maxParticles);
    s.SerializeRealField("ParticleSize", ParticleSize);
    s.SerializeFile("fileStream", fileStream);
}

bool ParticleSystem::Load(const std::string& fileName)
{
    texture.SetFile("particle.bmp");
    if (!XMLLoader::LoadElement(fileName, "System", *this))
        return false;
    if (maxParticles > kMostParticles)
    {
        Console::Instance().Log(fileName + ": maxParticles " + std::to_string(maxParticles) + " refused (at most " +
                                    std::to_string(kMostParticles) + "); " + std::to_string(kDefaultParticles) +
                                    " used",
                                LogError);
        maxParticles = kDefaultParticles;
    }
    return true;
}

void ParticleSystem::Init()
{
    if (texture.GetFile().empty())
        texture.SetFile("particle.bmp");
    texture.Reload();
    if (!fileStream.empty())
        mStream.Load(fileStream);
}

void ParticleSystem::AddParticle(const Particle& particle)
{
    ParticlePool::Alloc();
    if (mLive.size() < maxParticles)
        mLive.push_back(particle);
    else
        ParticlePool::Free();
}

void ParticleSystem::ColorByKeys(Particle& p, float dt) const
{
    const std::vector<ColorKey>& keys = mStream.ColorKeys;
    // Without keys the colour stays as it is.
    if (keys.empty())
        return;
    const int32_t last = static_cast<int32_t>(keys.size()) - 1;
    if (p.mKeyIndex > last)
        p.mKeyIndex = last;
    if (keys[size_t(p.mKeyIndex)].mTime <= p.mAge)
    {
        if (p.mAge >= keys[size_t(last)].mTime)
        {
            p.mColor = keys[size_t(last)].mColor;
            p.mColorRate = Color{};
            return;
        }
        // Head for the first key still ahead: a long frame may pass several, and keys of
        // equal time would give no time to get there.
        int32_t k = p.mKeyIndex + 1;
        while (k < last && keys[size_t(k)].mTime <= p.mAge)
            ++k;
        p.mKeyIndex = k;
        p.mColorRate = mStream.RateToKey(p.mColor, p.mAge, uint32_t(k));
    }
    else
    {
        p.mColor += p.mColorRate.Scaled(dt);
    }
}

template <int32_t Type>
size_t ParticleSystem::Step(float dt)
{
    // Survivors move down over the dead in one pass; order (oldest first) is kept.
    Particle* out = mLive.data();
    const Particle* end = mLive.data() + mLive.size();
    for (Particle* p = mLive.data(); p != end; ++p)
    {
        const float age = p->mAge + dt;
        if (Type == 2 ? !(age < p->mLifetime) : !(age <= p->mLifetime))
            continue;
        // Worked on a copy and stored once: the compiler keeps it out of memory meanwhile.
        Particle q = *p;
        q.mAge = age;
        if constexpr (Type == 0)
        {
            q.mColor += q.mColorRate.Scaled(dt);
            q.mPosition += q.mVelocity * dt;
        }
        else if constexpr (Type == 1)
        {
            q.mColor += q.mColorRate.Scaled(dt);
        }
        else if constexpr (Type == 2 || Type == 3)
        {
            ColorByKeys(q, dt);
            q.mPosition += q.mVelocity * dt;
            q.mVelocity += Force;
            if (Type == 3 && DotProduct(q.mVelocity, q.mVelocity) > 1.0f)
                q.mVelocity -= q.mVelocity * dt;
        }
        else
        {
            ColorByKeys(q, dt);
            q.mPosition = mEmitPosition + q.mVelocity * (q.mLifetime - q.mAge);
            q.mVelocity += Vector3(q.mVelocity.z, 0.0f, -q.mVelocity.x) * (dt * 8.0f);
        }
        *out++ = q;
    }
    return size_t(out - mLive.data());
}

int32_t ParticleSystem::Update(float dt)
{
    using StepFn = size_t (ParticleSystem::*)(float);
    static constexpr StepFn kSteps[] = {&ParticleSystem::Step<0>, &ParticleSystem::Step<1>, &ParticleSystem::Step<2>,
                                        &ParticleSystem::Step<3>, &ParticleSystem::Step<4>};
    if (UpdateTypes < 0 || UpdateTypes >= static_cast<int32_t>(std::size(kSteps)))
        return 0;
    // Read apart from the call: GCC's bounds check misreads an indexed member pointer call.
    const StepFn step = kSteps[UpdateTypes];
    const size_t live = (this->*step)(dt);
    ParticlePool::Free(static_cast<uint32_t>(mLive.size() - live));
    mLive.resize(live);
    return static_cast<int32_t>(live);
}

void ParticleSystem::Render(GraphicsDevice& device)
{
    GpuBuffer* buffer = ParticlePool::GetBuffer();
    RenderStates& states = device.States();
    states.mPointSize = ParticleSize;
    if (BlendModes == 1)
    {
        states.mSrcBlend = BlendFactor::SrcAlpha;
        states.mDestBlend = BlendFactor::InvSrcAlpha;
    }
    else
    {
        // Additive: set both, whatever the last draw left.
        states.mSrcBlend = BlendFactor::SrcAlpha;
        states.mDestBlend = BlendFactor::One;
    }
    texture.Bind(0, device);
    if (!buffer || mLive.empty())
        return;
    GraphicsLoom* loom = GraphicsLoom::Instance();
    if (loom)
        loom->GetCounters().mParticles += static_cast<uint32_t>(mLive.size());

    device.SetVertexLayout(ParticlePool::GetLayout());
    device.SetStreamSource(buffer, 0, sizeof(ParticleVertex));
    uint32_t offset = 0;
    const Particle* first = mLive.data();
    const Particle* p = first + mLive.size();
    while (p != first)
    {
        const uint32_t batch = std::min<uint32_t>(kBatchSize, uint32_t(p - first));
        auto* v =
            static_cast<ParticleVertex*>(buffer->Lock(offset * sizeof(ParticleVertex), batch * sizeof(ParticleVertex),
                                                      offset == 0 ? LockFlag::Discard : LockFlag::NoOverwrite));
        if (!v)
            return;
        // Newest first.
        for (uint32_t i = 0; i < batch; ++i)
        {
            --p;
            v[i] = {p->mPosition.x, p->mPosition.y, p->mPosition.z, p->mColor.ToARGB()};
        }
        buffer->Unlock();
        device.Draw(PrimitiveType::PointList, offset, batch);
        offset += kBatchSize;
        if (offset > ParticlePool::kCapacity - 1)
            offset = 0;
    }
}
