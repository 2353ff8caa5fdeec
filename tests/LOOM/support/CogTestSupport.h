#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/math/Vector3.h"
#include "LOOM/serial/Serializer.h"
#include "tests/LOOM/support/CodeType.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/LOOM/support/TempDir.h"

#ifndef LOOM_TEST_DATA
#define LOOM_TEST_DATA "tests/data"
#endif

inline std::string CogData(const std::string& name) { return std::string(LOOM_TEST_DATA) + "/cogs/" + name; }

// What the test components did, in order.
inline std::vector<std::string>& Trace()
{
    static std::vector<std::string> trace;
    return trace;
}

constexpr uint32_t kHealthId = 900;
constexpr uint32_t kMarkerId = 901;

// A component with a field of each common kind, a "Damage" (float) handler, a "Hit" handler
// and a per-frame functor.
class HealthComp : public Comp
{
public:
    void Serialize(Serializer& s) override
    {
        SerializeHeader(s);
        s.SerializeInt("Health", mHealth);
        s.SerializeRealField("Speed", mSpeed);
        s.SerializeString("Label", mLabel);
        s.SerializeBoolField("Armoured", mArmoured);
        s.SerializeVector("Offset", mOffset);
    }
    void Initialize() override { Trace().push_back("init Health"); }
    static constexpr uint32_t kTypeId = kHealthId;
    std::string GetTypeName() override { return "Health"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Damage(float amount)
    {
        mHealth += static_cast<int32_t>(amount);
        Trace().push_back("Damage Health");
    }
    void Hit() { Trace().push_back("Hit Health"); }
    void Tick() { ++mTicks; }

    int32_t mHealth = 10;
    float mSpeed = 1.5f;
    std::string mLabel = "none";
    bool mArmoured = false;
    Vector3 mOffset;
    int mTicks = 0;
};

class HealthFactory : public CompFactoryOf<HealthComp>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("Damage", MakeCompFunctor(kHealthId, &HealthComp::Damage));
        composer.BindMessage("Hit", MakeCompFunctor(kHealthId, &HealthComp::Hit));
        composer.AddOwnedUpdate(MakeCompFunctor(kHealthId, &HealthComp::Tick));
    }
};

// A component whose destructor runs a hook, for tests of destruction that reaches other cogs.
class MarkerComp : public Comp
{
public:
    ~MarkerComp() override
    {
        Trace().push_back("destroy Marker " + mTag);
        if (OnDestroy())
            OnDestroy()(*this);
    }
    void Serialize(Serializer& s) override
    {
        SerializeHeader(s);
        s.SerializeString("Tag", mTag);
    }
    void Initialize() override { Trace().push_back("init Marker"); }
    static constexpr uint32_t kTypeId = kMarkerId;
    std::string GetTypeName() override { return "Marker"; }
    uint32_t GetTypeId() override { return kTypeId; }
    void Hit() { Trace().push_back("Hit Marker"); }

    static std::function<void(MarkerComp&)>& OnDestroy()
    {
        static std::function<void(MarkerComp&)> hook;
        return hook;
    }

    std::string mTag = "m";
};

class MarkerFactory : public CompFactoryOf<MarkerComp>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("Hit", MakeCompFunctor(kMarkerId, &MarkerComp::Hit));
    }
};

inline HealthFactory gHealthFactory;
inline MarkerFactory gMarkerFactory;

inline std::string NewestLogText() { return LogCapture::NewestLog(); }

// How many of the newest entries since the counter value before have this text.
inline int CountLogSince(uint32_t before, const std::string& text)
{
    return LogCapture(before).CountIf([&](const LogEntry& entry) { return entry.mText == text; });
}

// A cog manager of its own with the test component types registered.
class CogFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Trace().clear();
        MarkerComp::OnDestroy() = nullptr;
        mCogs.Types().RegisterComponent(kHealthId, &gHealthFactory);
        mCogs.Types().RegisterComponent(kMarkerId, &gMarkerFactory);
    }
    void TearDown() override
    {
        mCogs.DestroyAll();
        MarkerComp::OnDestroy() = nullptr;
    }

    // A cog type made in code, registered under its name.
    std::shared_ptr<Composer> MakeType(const std::string& name, std::vector<uint32_t> components,
                                       const std::string& group = "")
    {
        return MakeCodeType(mCogs, name, components, group);
    }

    uint32_t LogMark() const { return Console::Instance().GetEntryCounter(); }

    CogFactory mCogs;
};
