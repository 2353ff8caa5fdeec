#include <map>

#include "InputCogFixture.h"
#include "LogProbe.h"
#include "tests/LOOM/support/ConsoleTestSupport.h"

using namespace InputEvents;

namespace {

// Key events of one frame.
using FrameEvents = std::vector<SDL_Event>;

struct Sequence
{
    const char* mName;
    // Builds the frames for one key.
    std::vector<FrameEvents> (*mFrames)(SDL_Scancode key);
};

std::vector<FrameEvents> Tap(SDL_Scancode key) { return {{Key(SDL_KEYDOWN, key), Key(SDL_KEYUP, key)}, {}, {}, {}}; }

std::vector<FrameEvents> HoldThreeFrames(SDL_Scancode key)
{
    return {{Key(SDL_KEYDOWN, key)}, {Key(SDL_KEYDOWN, key, 1)}, {}, {Key(SDL_KEYUP, key)}};
}

std::vector<FrameEvents> PressThenRelease(SDL_Scancode key)
{
    return {{Key(SDL_KEYDOWN, key)}, {Key(SDL_KEYUP, key)}, {}, {}};
}

// A key that was already down before the loom started listening.
std::vector<FrameEvents> StrayRelease(SDL_Scancode key) { return {{Key(SDL_KEYUP, key)}, {}, {}, {}}; }

const Sequence kSequences[] = {
    {"tap inside one frame", Tap},
    {"hold three frames", HoldThreeFrames},
    {"press then release", PressThenRelease},
    {"stray release", StrayRelease},
};

// Per sequence and When, the frames the binding fires in.
const std::map<std::string, std::map<std::string, std::vector<int>>> kExpectedFires = {
    {"tap inside one frame", {{"Triggered", {1, 0, 0, 0}}, {"Pressed", {1, 0, 0, 0}}, {"Released", {1, 0, 0, 0}}}},
    {"hold three frames", {{"Triggered", {1, 0, 0, 0}}, {"Pressed", {1, 1, 1, 0}}, {"Released", {0, 0, 0, 1}}}},
    {"press then release", {{"Triggered", {1, 0, 0, 0}}, {"Pressed", {1, 0, 0, 0}}, {"Released", {0, 1, 0, 0}}}},
    {"stray release", {{"Triggered", {0, 0, 0, 0}}, {"Pressed", {0, 0, 0, 0}}, {"Released", {0, 0, 0, 0}}}},
};

// Per sequence, the left button's state word in each frame.
const std::map<std::string, std::vector<int>> kExpectedStates = {
    {"tap inside one frame", {1, 0, 0, 0}},
    {"hold three frames", {1, 2, 2, 3}},
    {"press then release", {1, 3, 0, 0}},
    {"stray release", {0, 0, 0, 0}},
};

SDL_Event AsButton(const SDL_Event& key)
{
    return Button(key.type == SDL_KEYDOWN ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
}

class ControlMapBindings : public InputCogFixture
{
protected:
    void SetUp() override
    {
        InputCogFixture::SetUp();
        auto command = std::make_unique<RecordingCommand>();
        mCommand = command.get();
        Console::Instance().RegisterCommand("InputTestCommand", std::move(command), "Counts its runs");
    }

    void TearDown() override
    {
        Console::Instance().RemoveCommand("InputTestCommand");
        InputCogFixture::TearDown();
    }

    RecordingCommand* mCommand = nullptr;
};

} // namespace

TEST_F(ControlMapBindings, EachWhenFiresOnItsFramesWithItsArgument)
{
    for (const Sequence& sequence : kSequences)
    {
        SCOPED_TRACE(sequence.mName);
        Cog* cog = MakeCog("Bindings.xml");
        ASSERT_EQ(Map(cog).GetBindingCount(), 7u);
        // The three Select bindings, one key each, all driven by the same sequence.
        const std::pair<const char*, SDL_Scancode> keys[] = {
            {"Triggered", SDL_SCANCODE_T}, {"Pressed", SDL_SCANCODE_P}, {"Released", SDL_SCANCODE_R}};
        std::vector<std::vector<FrameEvents>> perKey;
        for (const auto& [when, key] : keys)
            perKey.push_back(sequence.mFrames(key));
        const std::vector<FrameEvents> buttonFrames = sequence.mFrames(SDL_SCANCODE_T);

        std::map<std::string, std::vector<int>> fired;
        std::vector<int> states;
        for (size_t frame = 0; frame < 4; ++frame)
        {
            for (const auto& events : perKey)
                for (const SDL_Event& event : events[frame])
                    Feed(event);
            for (const SDL_Event& event : buttonFrames[frame])
                Feed(AsButton(event));
            Recorder(cog).mHeard.clear();
            Frame(cog);
            states.push_back(mLoom->GetMouseButtonState(0));
            for (const auto& [when, key] : keys)
            {
                const std::string heard = std::string("Select:") + when;
                int count = 0;
                for (const std::string& message : Recorder(cog).mHeard)
                    count += message == heard;
                fired[when].push_back(count);
            }
            // Only the Select bindings' keys were touched.
            EXPECT_EQ(Recorder(cog).mHeard.size(),
                      size_t(fired["Triggered"].back() + fired["Pressed"].back() + fired["Released"].back()));
        }
        for (const auto& [when, frames] : kExpectedFires.at(sequence.mName))
            EXPECT_EQ(fired[when], frames) << when;
        EXPECT_EQ(states, kExpectedStates.at(sequence.mName));
        cog->Destroy();
        mCogs.DestroyAll();
    }
}

TEST_F(ControlMapBindings, MessageWithoutArgumentCommandAndEitherShiftKey)
{
    Cog* cog = MakeCog("Bindings.xml");
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_F));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_C));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_U));
    Frame(cog);
    EXPECT_EQ(Recorder(cog).mHeard, std::vector<std::string>{"Fire"});
    ASSERT_EQ(mCommand->mCalls, 1);
    mCommand->mLast.Rewind();
    int32_t argument = 0;
    mCommand->mLast.Read(&argument, sizeof(argument));
    EXPECT_EQ(argument, 7);

    Frame(cog);
    EXPECT_EQ(mCommand->mCalls, 1) << "a held key triggers once";

    Recorder(cog).mHeard.clear();
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_RSHIFT));
    Frame(cog);
    EXPECT_EQ(Recorder(cog).mHeard, std::vector<std::string>{"Select:Shift"});
}

TEST_F(ControlMapBindings, NothingFiresWhileTheConsoleIsShownOrTheMapIsDisabled)
{
    Cog* cog = MakeCog("Bindings.xml");
    Console::Instance().ShowConsole(true);
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_T));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_C));
    Frame(cog);
    EXPECT_TRUE(Recorder(cog).mHeard.empty());
    EXPECT_EQ(mCommand->mCalls, 0);

    Console::Instance().ShowConsole(false);
    Map(cog).SetEnabled(false);
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_F));
    Frame(cog);
    EXPECT_TRUE(Recorder(cog).mHeard.empty());

    Map(cog).SetEnabled(true);
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_R));
    Feed(Key(SDL_KEYUP, SDL_SCANCODE_R));
    Frame(cog);
    EXPECT_EQ(Recorder(cog).mHeard, std::vector<std::string>{"Select:Released"});
}

TEST_F(ControlMapBindings, FilesAreReadOnceAndShared)
{
    LogProbe probe;
    Cog* first = MakeCog("Missing.xml", "First");
    Cog* second = MakeCog("Missing.xml", "Second");
    EXPECT_EQ(Map(first).GetBindingCount(), 0u);
    EXPECT_EQ(Map(second).GetBindingCount(), 0u);
    EXPECT_EQ(probe.Count("control file not found"), 1);
    EXPECT_EQ(Map(MakeCog("", "Third")).GetBindingCount(), 0u);
    EXPECT_EQ(probe.Written(), 1u) << "an empty ControlFile is no error";
    EXPECT_EQ(FindControlSet("Bindings.xml"), FindControlSet("Bindings.xml"));
    Frame(first);
}

TEST_F(ControlMapBindings, BadEntriesAreSkippedOneLineEachAndTheRestFire)
{
    LogProbe probe;
    Cog* cog = MakeCog("BrokenEntries.xml");
    EXPECT_EQ(probe.Count("BrokenEntries.xml entry 2: unknown key \"Gee\""), 1);
    EXPECT_EQ(probe.Count("BrokenEntries.xml entry 3: unknown When \"Sometimes\""), 1);
    EXPECT_EQ(probe.Count("BrokenEntries.xml entry 4: neither Message nor Command"), 1);
    // The entry is good; the cog's Fire handler takes no argument, which is said once.
    EXPECT_EQ(probe.Count("Fire of cog \"Player\" does not take"), 1);
    EXPECT_EQ(probe.Written(), 4u);
    EXPECT_EQ(Map(cog).GetBindingCount(), 3u);

    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_G));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_H));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_J));
    Frame(cog);
    Feed(Key(SDL_KEYUP, SDL_SCANCODE_H));
    Frame(cog);
    EXPECT_EQ(Recorder(cog).mHeard, (std::vector<std::string>{"Select:good", "Fire"}));
    EXPECT_EQ(probe.Written(), 4u) << "firing logs nothing";
}

TEST_F(ControlMapBindings, TruncatedFileKeepsTheEntriesReadWhole)
{
    LogProbe probe;
    Cog* cog = MakeCog("Truncated.xml");
    EXPECT_EQ(Map(cog).GetBindingCount(), 2u);
    EXPECT_GE(probe.Count("Truncated.xml"), 1);
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_G));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_J));
    Frame(cog);
    EXPECT_EQ(Recorder(cog).mHeard, std::vector<std::string>{"Select:first"});
}
