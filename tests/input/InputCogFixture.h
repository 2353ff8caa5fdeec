#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "IOLoomFixture.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "input/ControlMap.h"
#include "input/ControlSet.h"
#include "input/TextStream.h"
#include "tests/LOOM/support/TestComp.h"

#ifndef LOOM_TEST_DATA
#define LOOM_TEST_DATA "tests/data"
#endif

inline std::string InputData(const std::string& name = "") { return std::string(LOOM_TEST_DATA) + "/input/" + name; }

constexpr uint32_t kRecorderId = 960;

// Writes down the messages its cog receives, as "Name" or "Name:text".
class RecorderComp : public TestComp<kRecorderId, "Recorder">
{
public:
    void Select(std::string text) { mHeard.push_back("Select:" + text); }
    void Fire() { mHeard.push_back("Fire"); }
    void TextChanged(std::string text) { mHeard.push_back("TextChanged:" + text); }
    void TextEntered(std::string text) { mHeard.push_back("TextEntered:" + text); }
    void TextCancelled() { mHeard.push_back("TextCancelled"); }

    std::vector<std::string> mHeard;
};

class RecorderFactory : public CompFactoryOf<RecorderComp>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("Select", MakeCompFunctor(kRecorderId, &RecorderComp::Select));
        composer.BindMessage("Fire", MakeCompFunctor(kRecorderId, &RecorderComp::Fire));
        composer.BindMessage("TextChanged", MakeCompFunctor(kRecorderId, &RecorderComp::TextChanged));
        composer.BindMessage("TextEntered", MakeCompFunctor(kRecorderId, &RecorderComp::TextEntered));
        composer.BindMessage("TextCancelled", MakeCompFunctor(kRecorderId, &RecorderComp::TextCancelled));
    }
};

inline RecorderFactory gRecorderFactory;

// A started IO loom, a cog manager of its own with the input components, and the test data
// folder as the config folder.
class InputCogFixture : public IOLoomFixture
{
protected:
    void SetUp() override
    {
        mSavedConfigFolder = Console::Instance().GetConfigFolder();
        Console::Instance().SetConfigFolder(InputData());
        IOLoomFixture::SetUp();
        RegisterInputComponents(mCogs);
        mCogs.Types().RegisterComponent(kRecorderId, &gRecorderFactory);
        auto type = std::make_shared<Composer>(mCogs, "Player", "Input");
        type->AddComponent(kRecorderId, &gRecorderFactory);
        type->AddComponent(ControlMap::kTypeId, mCogs.Types().GetComponentFactory(ControlMap::kTypeId));
        type->AddComponent(TextStream::kTypeId, mCogs.Types().GetComponentFactory(TextStream::kTypeId));
        mCogs.Types().RegisterType("Player", type);
    }

    void TearDown() override
    {
        mCogs.DestroyAll();
        ForgetControlSets();
        Console::Instance().SetConfigFolder(mSavedConfigFolder);
        Console::Instance().ShowConsole(false);
    }

    // A new cog whose ControlMap reads that control file.
    Cog* MakeCog(const std::string& controlFile, const std::string& name = "Player")
    {
        Cog* cog = mCogs.Instantiate("Player");
        cog->SetName(name);
        cog->Get<ControlMap>()->SetControlFile(controlFile);
        cog->Initialize();
        return cog;
    }

    static RecorderComp& Recorder(Cog* cog) { return *static_cast<RecorderComp*>(cog->GetComponent(kRecorderId)); }
    static ControlMap& Map(Cog* cog) { return *cog->Get<ControlMap>(); }
    static TextStream& Stream(Cog* cog) { return *cog->Get<TextStream>(); }

    // One frame: the loom takes what was fed, then the cog runs its per-frame functors.
    void Frame(Cog* cog)
    {
        mLoom->Update();
        cog->Update();
    }

    CogFactory mCogs;
    std::string mSavedConfigFolder;
};
