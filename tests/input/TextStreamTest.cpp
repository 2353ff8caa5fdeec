#include "InputCogFixture.h"
#include "LogProbe.h"

using namespace InputEvents;

namespace {

class TextStreams : public InputCogFixture
{
protected:
    Cog* ActiveCog(const std::string& name = "Player")
    {
        Cog* cog = MakeCog("Missing.xml", name);
        Stream(cog).SetTextActive(true);
        return cog;
    }

    void Type(const std::string& text)
    {
        // SDL hands typed text over in pieces of at most 31 bytes, never splitting a character.
        for (size_t pos = 0; pos < text.size(); pos += 20)
            Feed(Text(text.substr(pos, 20).c_str()));
    }
    void Press(SDL_Scancode key, Uint8 repeat = 0) { Feed(Key(SDL_KEYDOWN, key, repeat)); }
};

} // namespace

TEST_F(TextStreams, OneFrameOfEditsIsOneChange)
{
    Cog* cog = ActiveCog();
    Type("ab");
    Press(SDL_SCANCODE_BACKSPACE);
    Type("c");
    Frame(cog);
    EXPECT_EQ(Stream(cog).GetText(), "ac");
    EXPECT_EQ(Recorder(cog).mHeard, std::vector<std::string>{"TextChanged:ac"});

    Recorder(cog).mHeard.clear();
    Frame(cog);
    EXPECT_TRUE(Recorder(cog).mHeard.empty()) << "no typing, no change";
}

TEST_F(TextStreams, EnterEscAndRepeatedBackspace)
{
    Cog* cog = ActiveCog();
    Type("héllo");
    Press(SDL_SCANCODE_BACKSPACE);
    Press(SDL_SCANCODE_BACKSPACE, 1);
    Press(SDL_SCANCODE_BACKSPACE, 1);
    Press(SDL_SCANCODE_RETURN);
    Type("x");
    Press(SDL_SCANCODE_ESCAPE);
    Frame(cog);
    EXPECT_EQ(Recorder(cog).mHeard,
              (std::vector<std::string>{"TextChanged:hé", "TextEntered:hé", "TextChanged:x", "TextCancelled"}));
    EXPECT_EQ(Stream(cog).GetText(), "x");
}

TEST_F(TextStreams, BackspaceRemovesWholeCodePoints)
{
    struct Case
    {
        std::string mBefore;
        std::string mAfter;
    };
    const Case cases[] = {
        {"a\xC3\xA9", "a"},         // two bytes
        {"a\xE2\x82\xAC", "a"},     // three bytes
        {"a\xF0\x9F\x99\x82", "a"}, // four bytes
        {"", ""},
        {"\x80\x80\x80\x80\x80", "\x80"}, // broken text costs at most four bytes
    };
    for (const Case& c : cases)
    {
        std::string text = c.mBefore;
        Utf8PopBack(text);
        EXPECT_EQ(text, c.mAfter) << c.mBefore;
    }

    Cog* cog = ActiveCog();
    Type("\xF0\x9F\x99\x82\xC3\xA9");
    Press(SDL_SCANCODE_BACKSPACE);
    Frame(cog);
    EXPECT_EQ(Stream(cog).GetText(), "\xF0\x9F\x99\x82");
}

TEST_F(TextStreams, LongPasteIsCutOnACodePointBoundary)
{
    Cog* cog = ActiveCog();
    // 200 characters of two bytes each: 127 bytes would end inside the 64th.
    std::string paste;
    for (int i = 0; i < 200; ++i)
        paste += "\xC3\xA9";
    Type(paste);
    Frame(cog);
    EXPECT_EQ(Stream(cog).GetText(), paste.substr(0, 126));
    ASSERT_EQ(Recorder(cog).mHeard.size(), 1u);
    EXPECT_EQ(Recorder(cog).mHeard[0], "TextChanged:" + paste.substr(0, 126));

    Stream(cog).ClearText();
    Stream(cog).SetText(std::string(300, 'z'));
    EXPECT_EQ(Stream(cog).GetText(), std::string(127, 'z'));
}

TEST_F(TextStreams, OnlyTheStreamActivatedLastReceives)
{
    Cog* first = ActiveCog("First");
    Cog* second = ActiveCog("Second");
    // Typed in one frame: what each stream holds after it.
    auto typeFrame = [&](const char* text, const char* firstHolds, const char* secondHolds) {
        Type(text);
        mLoom->Update();
        first->Update();
        second->Update();
        EXPECT_EQ(Stream(first).GetText(), firstHolds) << text;
        EXPECT_EQ(Stream(second).GetText(), secondHolds) << text;
    };
    typeFrame("x", "", "x");
    Stream(first).SetTextActive(true);
    typeFrame("y", "y", "x");

    // The focused stream's cog dies: nobody has the focus, nothing dangles.
    first->Destroy();
    mCogs.DestroyAll();
    EXPECT_EQ(TextStream::Focus(), nullptr);
    Type("z");
    mLoom->Update();
    EXPECT_EQ(TextStream::Focus(), nullptr);
}

TEST_F(TextStreams, ConsoleShownKeepsTheTyping)
{
    Cog* cog = ActiveCog();
    Console::Instance().ShowConsole(true);
    Type("q");
    Frame(cog);
    EXPECT_EQ(Stream(cog).GetText(), "");
    Console::Instance().ShowConsole(false);
    Type("w");
    Frame(cog);
    EXPECT_EQ(Stream(cog).GetText(), "w");
}

TEST_F(TextStreams, MaxLengthOutsideOneStringIsRefused)
{
    const std::pair<int32_t, int32_t> cases[] = {{5, 5}, {0, 0}, {127, 127}, {128, 127}, {-1, 127}, {100000, 127}};
    for (const auto& [given, kept] : cases)
    {
        Cog* cog = mCogs.Instantiate("Player");
        Stream(cog).SetMaxLength(given);
        LogProbe probe;
        cog->Initialize();
        EXPECT_EQ(Stream(cog).GetMaxLength(), kept) << given;
        EXPECT_EQ(probe.Count("TextStream: MaxLength"), given == kept ? 0 : 1) << given;
        Stream(cog).SetText("abcdefgh");
        EXPECT_EQ(Stream(cog).GetText(), std::string("abcdefgh").substr(0, size_t(kept)));
    }
}
