#include <gtest/gtest.h>

#include <set>
#include <string>

#include "input/IOLoom.h"
#include "input/KeyNames.h"

TEST(KeyNames, NamesAreUniqueAndKeysInRange)
{
    size_t count = 0;
    const KeyName* table = KeyNameTable(count);
    ASSERT_GT(count, 100u);
    std::set<std::string> names;
    for (size_t i = 0; i < count; ++i)
    {
        EXPECT_TRUE(names.insert(table[i].mName).second) << table[i].mName;
        EXPECT_GT(table[i].mKey, 0) << table[i].mName;
        EXPECT_LT(table[i].mKey, IOLoom::kKeyCount) << table[i].mName;
        EXPECT_LT(table[i].mOtherKey, IOLoom::kKeyCount) << table[i].mName;
    }
}

TEST(KeyNames, EveryNameIsFoundAgain)
{
    size_t count = 0;
    const KeyName* table = KeyNameTable(count);
    for (size_t i = 0; i < count; ++i)
    {
        const KeyName* found = FindKeyName(table[i].mName);
        ASSERT_NE(found, nullptr) << table[i].mName;
        EXPECT_EQ(found, &table[i]);
    }
}

TEST(KeyNames, SingleKeyNamesRoundTrip)
{
    size_t count = 0;
    const KeyName* table = KeyNameTable(count);
    for (size_t i = 0; i < count; ++i)
    {
        if (table[i].mOtherKey >= 0)
            continue;
        const char* name = NameOfKey(table[i].mKey);
        ASSERT_NE(name, nullptr) << table[i].mName;
        EXPECT_STREQ(name, table[i].mName);
    }
    EXPECT_EQ(NameOfKey(-1), nullptr);
    EXPECT_EQ(NameOfKey(0), nullptr);
}

TEST(KeyNames, NormalKeyboardIsCovered)
{
    for (const char* name : {"A",    "Z",      "0",     "9",    "F1",  "F12",  "Space", "Enter",    "Tab", "Backspace",
                             "Home", "Insert", "Shift", "Ctrl", "Alt", "Num0", "Num9",  "NumEnter", "Esc", "PageUp"})
        EXPECT_NE(FindKeyName(name), nullptr) << name;
}

TEST(KeyNames, UnknownNamesAreNotFound)
{
    for (const char* name : {"", "F13", "esc", "ESC", "Up ", " Up", "Num10", "AA"})
        EXPECT_EQ(FindKeyName(name), nullptr) << '"' << name << '"';
}

TEST(KeyNames, CharactersMapToTheKeysThatTypeThem)
{
    EXPECT_EQ(KeyOfChar('a'), KeyOfChar('A'));
    EXPECT_EQ(KeyOfChar('A'), FindKeyName("A")->mKey);
    EXPECT_EQ(KeyOfChar('z'), FindKeyName("Z")->mKey);
    EXPECT_EQ(KeyOfChar('0'), FindKeyName("0")->mKey);
    EXPECT_EQ(KeyOfChar('1'), FindKeyName("1")->mKey);
    EXPECT_EQ(KeyOfChar('9'), FindKeyName("9")->mKey);
    EXPECT_EQ(KeyOfChar(' '), FindKeyName("Space")->mKey);
    EXPECT_EQ(KeyOfChar('/'), FindKeyName("Slash")->mKey);
    EXPECT_EQ(KeyOfChar('@'), -1);
    EXPECT_EQ(KeyOfChar('\0'), -1);
    EXPECT_EQ(KeyOfChar(static_cast<char>(0xC4)), -1);
}
