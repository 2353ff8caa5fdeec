#include "WindowFixture.h"

class PlatformWindowKeys : public WindowFixture
{
protected:
    // Each key, pressed alone, arrives as its one code.
    void ExpectCodes(std::initializer_list<std::pair<SDL_Keycode, int>> table)
    {
        for (const auto& [key, code] : table)
        {
            mListener.mCodes.clear();
            ASSERT_EQ(PushKey(key), 1) << SDL_GetKeyName(key);
            mWindow->PumpMessages();
            EXPECT_EQ(mListener.mCodes, (std::vector<int>{code})) << SDL_GetKeyName(key);
        }
    }
};

TEST_F(PlatformWindowKeys, ListedKeysArriveAsCodes)
{
    ExpectCodes({{SDLK_UP, 1},
                 {SDLK_DOWN, 2},
                 {SDLK_RIGHT, 3},
                 {SDLK_LEFT, 4},
                 {SDLK_DELETE, 5},
                 {SDLK_PAGEUP, 6},
                 {SDLK_PAGEDOWN, 7},
                 {SDLK_F11, 211},
                 {SDLK_F12, 212}});
}

TEST_F(PlatformWindowKeys, ControlKeysArriveAsCharacters)
{
    ExpectCodes({{SDLK_BACKSPACE, 8}, {SDLK_TAB, 9}, {SDLK_RETURN, 13}, {SDLK_KP_ENTER, 13}, {SDLK_ESCAPE, 27}});
}

TEST_F(PlatformWindowKeys, HomeDeliversNothing)
{
    PushKey(SDLK_HOME);
    PushKey(SDLK_END);
    PushKey(SDLK_F1);
    for (int i = 0; i < 3; ++i)
        mWindow->PumpMessages();
    EXPECT_TRUE(mListener.mCodes.empty());
}

TEST_F(PlatformWindowKeys, TypedLetterArrivesAsItsCharacter)
{
    ASSERT_EQ(PushText("a"), 1);
    mWindow->PumpMessages();
    EXPECT_EQ(mListener.mCodes, (std::vector<int>{97}));
}

TEST_F(PlatformWindowKeys, TextOfSeveralCharactersArrivesInOrder)
{
    ASSERT_EQ(PushText("A b"), 1);
    mWindow->PumpMessages();
    EXPECT_EQ(mListener.mCodes, (std::vector<int>{'A', ' ', 'b'}));
}

TEST_F(PlatformWindowKeys, LatinCharacterArrivesAsSignedByte)
{
    ASSERT_EQ(PushText("\xC3\xA9"), 1); // e acute, 0xE9
    mWindow->PumpMessages();
    EXPECT_EQ(mListener.mCodes, (std::vector<int>{static_cast<signed char>(0xE9)}));
}

TEST_F(PlatformWindowKeys, CharacterWithoutByteIsDropped)
{
    ASSERT_EQ(PushText("\xE2\x82\xAC"
                       "x"),
              1); // euro sign, then x
    mWindow->PumpMessages();
    EXPECT_EQ(mListener.mCodes, (std::vector<int>{'x'}));
}

TEST_F(PlatformWindowKeys, MalformedTextIsSkipped)
{
    ASSERT_EQ(PushText("\xC3"
                       "z\xFF\x80"),
              1);
    mWindow->PumpMessages();
    EXPECT_EQ(mListener.mCodes, (std::vector<int>{'z'}));
    mListener.mCodes.clear();
    ASSERT_EQ(PushText("q\xC3"), 1);
    mWindow->PumpMessages();
    EXPECT_EQ(mListener.mCodes, (std::vector<int>{'q'}));
}

TEST_F(PlatformWindowKeys, EveryListenerIsToldInOrderAdded)
{
    std::vector<int> order;
    struct Tagged : KeyListener
    {
        Tagged(std::vector<int>& order, int tag) : mOrder(order), mTag(tag) {}
        void OnKey(int) override { mOrder.push_back(mTag); }
        std::vector<int>& mOrder;
        int mTag;
    };
    Tagged first(order, 1);
    Tagged second(order, 2);
    mWindow->RemoveListener(&mListener);
    mWindow->AddListener(&first);
    mWindow->AddListener(&second);
    PushKey(SDLK_UP);
    mWindow->PumpMessages();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST_F(PlatformWindowKeys, RemovedListenerHearsNothing)
{
    RecordingListener other;
    mWindow->AddListener(&other);
    mWindow->RemoveListener(&mListener);
    mWindow->RemoveListener(&mListener); // not there any more: no effect
    mWindow->AddListener(nullptr);
    PushKey(SDLK_DOWN);
    mWindow->PumpMessages();
    EXPECT_TRUE(mListener.mCodes.empty());
    EXPECT_EQ(other.mCodes, (std::vector<int>{2}));
}
