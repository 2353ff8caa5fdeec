#include "LOOM/script/ScriptPatterns.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>
#include <vector>

#include <lua.hpp>

#include "LOOM/script/ScriptBounds.h"

// Lua raises by longjmp. Everything with a destructor lives in a userdata the collector
// finalises, so a raise in the middle of a match (a malformed piece, the watchdog, an error in a
// replacement function) leaks nothing; the C++ frames below hold plain values only.

namespace {

constexpr int kMaxCaptures = 32;
constexpr const char* kMatcherMeta = "LOOM.PatternMatcher";

void Count(lua_State* L, size_t characters) { ScriptBounds::Count(L, characters); }

// ---- Characters -----------------------------------------------------------------------------

// A set of characters, one bit each.
struct CharMap
{
    std::array<uint64_t, 4> bits{};
    bool Has(unsigned char c) const { return (bits[c >> 6] >> (c & 63)) & 1u; }
    void Add(unsigned char c) { bits[c >> 6] |= uint64_t(1) << (c & 63); }
    void AddRange(unsigned char first, unsigned char last)
    {
        for (unsigned c = first; c <= last; ++c)
            Add(static_cast<unsigned char>(c));
    }
    void AddAll(const CharMap& other)
    {
        for (size_t w = 0; w < bits.size(); ++w)
            bits[w] |= other.bits[w];
    }
    CharMap Complement() const
    {
        CharMap out;
        for (size_t w = 0; w < bits.size(); ++w)
            out.bits[w] = ~bits[w];
        return out;
    }
};

// The ten classes and their complements, read from the C library once (and again when a script
// changes the locale); byLetter finds a class by its letter after '%', null for any other letter.
struct ClassTable
{
    std::array<CharMap, 20> maps;
    std::array<const CharMap*, 256> byLetter{};
};

ClassTable gClasses;

// ---- Compiled patterns ----------------------------------------------------------------------

// The texts a malformed pattern raises, once a match reaches the bad piece (as Lua's own).
constexpr const char* kFaults[] = {
    "malformed pattern (ends with '%')",
    "malformed pattern (missing ']')",
    "missing '[' after '%f' in pattern",
    "unbalanced pattern",
};
enum Fault : uint32_t
{
    kEndsWithEscape,
    kMissingBracket,
    kMissingFrontierSet,
    kUnbalanced,
};

// What one piece of a compiled pattern does.
enum class Piece : uint8_t
{
    Text,      // characters the subject must hold here, as they are
    Character, // one character of a class, maybe repeated
    Open,      // a capture starts
    Position,  // a capture of the position
    Close,     // the innermost open capture ends
    Balanced,  // %bxy
    Frontier,  // %f[set]
    Again,     // %0-%9: what a capture took, once more
    End,       // '$' last: the subject ends here
    Fault,     // malformed from here on: raises when a match gets here
    Done,      // the whole pattern matched
};

enum class Repeat : uint8_t
{
    Once,
    Maybe, // ?
    Most,  // *
    Some,  // +
    Least, // -
};

enum class Test : uint8_t
{
    Any,
    Char,
    Class,
    Map,
};

struct Item
{
    Piece piece = Piece::Done;
    Repeat repeat = Repeat::Once;
    Test test = Test::Any;
    unsigned char first = 0;  // Char: the character; Balanced: the opener; Again: the digit
    unsigned char second = 0; // Balanced: the closer
    uint32_t index = 0;       // Map, Frontier: the set; Class: the class; Text: offset in the pattern; Fault: the text
    uint32_t length = 0;      // Text: how many characters
};

// What a capture holds while a match runs and after it.
enum class Held : uint8_t
{
    Open,     // started, not yet closed
    Text,     // the subject from start to end
    Position, // the place start, as a number
};

struct Capture
{
    size_t start = 0;
    size_t end = 0;
    Held held = Held::Open;
};

// One successful match: where it starts and ends, and how many captures the matcher holds for it.
struct Found
{
    size_t start = 0;
    size_t end = 0;
    int captures = 0;
};

// A way back: the repeated or optional piece at item, where trying again starts from.
struct Choice
{
    uint32_t item;
    int32_t captures;
    size_t trail;
    size_t at;
    size_t count;
};

// One compiled pattern and the state of matching it against one subject. Built in a userdata.
class Matcher
{
public:
    // False when the pattern has more pieces than a match may hold.
    bool Compile(lua_State* L, const char* text, size_t length);
    void Bind(lua_State* L, const char* subject, size_t length)
    {
        mL = L;
        mSubject = reinterpret_cast<const unsigned char*>(subject);
        mLength = length;
    }
    // The first match at from or, unless anchored, after it (up to the end of the subject).
    bool Search(size_t from, bool anchored, Found& found);
    // Value i of the last match: its capture i, or with no captures for i 0 the whole match.
    Capture Value(const Found& found, int i) const
    {
        if (found.captures == 0)
            return Capture{found.start, found.end, Held::Text};
        return mCaptures[size_t(i)];
    }
    // Where gmatch searches next.
    size_t mNext = 0;

private:
    bool Accepts(const Item& item, unsigned char c) const
    {
        switch (item.test)
        {
        case Test::Any:
            return true;
        case Test::Char:
            return c == item.first;
        case Test::Class:
            return gClasses.maps[item.index].Has(c);
        case Test::Map:
            return mMaps[item.index].Has(c);
        }
        return false;
    }
    // Reads the set whose '[' is at open into a new map; the index past its ']', or 0 when the
    // pattern ends first.
    size_t ReadSet(size_t open, uint32_t& map);
    void AddText(size_t offset);
    void Add(const Item& item) { mItems.push_back(item); }
    bool MatchAt(size_t at, size_t& end);
    void Push(uint32_t item, size_t at, size_t count);
    bool Repeated(uint32_t index, const Item& item, size_t& at);
    bool Holds(size_t at, const unsigned char* text, size_t length) const;
    bool GoBack(uint32_t& next, size_t& at);

    std::vector<Item> mItems;
    std::vector<CharMap> mMaps;
    const char* mText = nullptr;
    size_t mTextLength = 0;

    lua_State* mL = nullptr;
    const unsigned char* mSubject = nullptr;
    size_t mLength = 0;
    std::vector<Choice> mChoices;
    // Captures closed since a choice was made, reopened when a match goes back past it.
    std::vector<int32_t> mClosed;
    std::array<Capture, kMaxCaptures> mCaptures{};
    int mLevel = 0;
};

size_t Matcher::ReadSet(size_t open, uint32_t& map)
{
    const char* p = mText;
    const size_t n = mTextLength;
    size_t first = open + 1;
    const bool complement = first < n && p[first] == '^';
    if (complement)
        ++first;
    // The ']' that closes the set is never its first member and never escaped by a '%'.
    size_t close = first;
    do
    {
        if (close >= n)
            return 0;
        close += p[close] == '%' && close + 1 < n ? 2 : 1;
    } while (close >= n || p[close] != ']');
    Count(mL, close - open);

    // Members: "%x" a class or the character x, "a-z" a range, anything else itself. A range may
    // take the '%' that hid the closing ']' above; the ']' is then a member of its own.
    CharMap members;
    size_t at = first;
    while (at < close)
    {
        const auto c = static_cast<unsigned char>(p[at]);
        const auto next = static_cast<unsigned char>(p[at + 1]);
        if (c == '%')
        {
            if (const CharMap* cls = gClasses.byLetter[next])
                members.AddAll(*cls);
            else
                members.Add(next);
            at += 2;
            continue;
        }
        if (next == '-' && at + 2 < close)
        {
            members.AddRange(c, static_cast<unsigned char>(p[at + 2]));
            at += 3;
            continue;
        }
        members.Add(c);
        ++at;
    }
    map = uint32_t(mMaps.size());
    mMaps.push_back(complement ? members.Complement() : members);
    return close + 1;
}

void Matcher::AddText(size_t offset)
{
    if (!mItems.empty())
    {
        Item& last = mItems.back();
        if (last.piece == Piece::Text && last.index + last.length == offset)
        {
            ++last.length;
            return;
        }
    }
    Item item;
    item.piece = Piece::Text;
    item.index = uint32_t(offset);
    item.length = 1;
    Add(item);
}

bool Matcher::Compile(lua_State* L, const char* text, size_t length)
{
    mL = L;
    mText = text;
    mTextLength = length;
    mItems.clear();
    mMaps.clear();
    const char* p = text;
    const size_t n = length;
    size_t i = 0;
    // A pattern past 4 GiB is no pattern a match could hold anyway.
    if (n >= UINT32_MAX)
        return false;
    for (;;)
    {
        if (mItems.size() >= ScriptPatterns::kMaxPieces)
            return false;
        Item item;
        if (i == n)
        {
            Add(item);
            return true;
        }
        const size_t from = i;
        const char c = p[i];
        if (c == '(')
        {
            const bool position = i + 1 < n && p[i + 1] == ')';
            item.piece = position ? Piece::Position : Piece::Open;
            i += position ? 2 : 1;
        }
        else if (c == ')')
        {
            item.piece = Piece::Close;
            ++i;
        }
        else if (c == '$' && i + 1 == n)
        {
            item.piece = Piece::End;
            ++i;
        }
        else if (c == '%' && i + 1 < n && p[i + 1] == 'b')
        {
            if (i + 3 >= n)
            {
                item.piece = Piece::Fault;
                item.index = kUnbalanced;
                Add(item);
                return true;
            }
            item.piece = Piece::Balanced;
            item.first = static_cast<unsigned char>(p[i + 2]);
            item.second = static_cast<unsigned char>(p[i + 3]);
            i += 4;
        }
        else if (c == '%' && i + 1 < n && p[i + 1] == 'f')
        {
            i += 2;
            size_t after = 0;
            if (i >= n || p[i] != '[')
            {
                item.piece = Piece::Fault;
                item.index = kMissingFrontierSet;
                Add(item);
                return true;
            }
            if ((after = ReadSet(i, item.index)) == 0)
            {
                item.piece = Piece::Fault;
                item.index = kMissingBracket;
                Add(item);
                return true;
            }
            item.piece = Piece::Frontier;
            i = after;
        }
        else if (c == '%' && i + 1 < n && std::isdigit(static_cast<unsigned char>(p[i + 1])))
        {
            item.piece = Piece::Again;
            item.first = static_cast<unsigned char>(p[i + 1] - '0');
            i += 2;
        }
        else
        {
            // One character of a class, maybe repeated.
            item.piece = Piece::Character;
            size_t literal = n;
            if (c == '.')
            {
                item.test = Test::Any;
                ++i;
            }
            else if (c == '[')
            {
                const size_t after = ReadSet(i, item.index);
                if (after == 0)
                {
                    item.piece = Piece::Fault;
                    item.index = kMissingBracket;
                    Add(item);
                    return true;
                }
                item.test = Test::Map;
                i = after;
            }
            else if (c == '%')
            {
                if (i + 1 >= n)
                {
                    item.piece = Piece::Fault;
                    item.index = kEndsWithEscape;
                    Add(item);
                    return true;
                }
                const auto letter = static_cast<unsigned char>(p[i + 1]);
                if (const CharMap* cls = gClasses.byLetter[letter])
                {
                    item.test = Test::Class;
                    item.index = uint32_t(cls - gClasses.maps.data());
                }
                else
                {
                    item.test = Test::Char;
                    item.first = letter;
                    literal = i + 1;
                }
                i += 2;
            }
            else
            {
                item.test = Test::Char;
                item.first = static_cast<unsigned char>(c);
                literal = i;
                ++i;
            }
            const char suffix = i < n ? p[i] : '\0';
            switch (suffix)
            {
            case '?':
                item.repeat = Repeat::Maybe;
                break;
            case '*':
                item.repeat = Repeat::Most;
                break;
            case '+':
                item.repeat = Repeat::Some;
                break;
            case '-':
                item.repeat = Repeat::Least;
                break;
            default:
                break;
            }
            if (item.repeat != Repeat::Once)
                ++i;
            else if (literal < n)
            {
                Count(mL, i - from);
                AddText(literal);
                continue;
            }
        }
        Count(mL, i - from);
        Add(item);
    }
}

void Matcher::Push(uint32_t item, size_t at, size_t count)
{
    if (mChoices.size() >= ScriptPatterns::kMaxDepth)
        luaL_error(mL, "pattern too complex");
    mChoices.push_back(Choice{item, mLevel, mClosed.size(), at, count});
}

bool Matcher::Repeated(uint32_t index, const Item& item, size_t& at)
{
    switch (item.repeat)
    {
    case Repeat::Once:
        Count(mL, 1);
        if (at < mLength && Accepts(item, mSubject[at]))
        {
            ++at;
            return true;
        }
        return false;
    case Repeat::Maybe:
        Count(mL, 1);
        if (at < mLength && Accepts(item, mSubject[at]))
        {
            // With the character first; without it is the way back.
            Push(index, at, 0);
            ++at;
        }
        return true;
    case Repeat::Most:
    case Repeat::Some:
    {
        size_t taken = 0;
        while (at + taken < mLength && Accepts(item, mSubject[at + taken]))
        {
            Count(mL, 1);
            ++taken;
        }
        const size_t least = item.repeat == Repeat::Some ? 1 : 0;
        if (taken < least)
            return false;
        // As many as there are first; each way back gives one up.
        if (taken > least)
            Push(index, at, taken);
        at += taken;
        return true;
    }
    case Repeat::Least:
        // None first; each way back takes one more.
        Push(index, at, 0);
        return true;
    }
    return false;
}

bool Matcher::Holds(size_t at, const unsigned char* text, size_t length) const
{
    if (mLength - at < length)
        return false;
    constexpr size_t kPart = 4096;
    for (size_t done = 0; done < length;)
    {
        const size_t part = std::min(length - done, kPart);
        Count(mL, part);
        if (std::memcmp(mSubject + at + done, text + done, part) != 0)
            return false;
        done += part;
    }
    return true;
}

bool Matcher::GoBack(uint32_t& next, size_t& at)
{
    while (!mChoices.empty())
    {
        Count(mL, 1);
        Choice& choice = mChoices.back();
        while (mClosed.size() > choice.trail)
        {
            mCaptures[size_t(mClosed.back())].held = Held::Open;
            mClosed.pop_back();
        }
        mLevel = choice.captures;
        const uint32_t index = choice.item;
        const Item& item = mItems[index];
        switch (item.repeat)
        {
        case Repeat::Maybe:
            at = choice.at;
            mChoices.pop_back();
            break;
        case Repeat::Most:
        case Repeat::Some:
            --choice.count;
            at = choice.at + choice.count;
            if (choice.count == (item.repeat == Repeat::Some ? 1u : 0u))
                mChoices.pop_back();
            break;
        default:
            if (choice.at >= mLength || !Accepts(item, mSubject[choice.at]))
            {
                mChoices.pop_back();
                continue;
            }
            at = ++choice.at;
            break;
        }
        next = index + 1;
        return true;
    }
    return false;
}

bool Matcher::MatchAt(size_t at, size_t& end)
{
    mChoices.clear();
    mClosed.clear();
    mLevel = 0;
    Count(mL, 1);
    uint32_t next = 0;
    for (;;)
    {
        const uint32_t index = next;
        const Item& item = mItems[index];
        bool ok = true;
        switch (item.piece)
        {
        case Piece::Done:
            end = at;
            return true;
        case Piece::Fault:
            luaL_error(mL, "%s", kFaults[item.index]);
            return false;
        case Piece::End:
            ok = at == mLength;
            break;
        case Piece::Text:
            ok = Holds(at, reinterpret_cast<const unsigned char*>(mText) + item.index, item.length);
            if (ok)
                at += item.length;
            break;
        case Piece::Character:
            ok = Repeated(index, item, at);
            break;
        case Piece::Open:
        case Piece::Position:
            if (mLevel >= kMaxCaptures)
                luaL_error(mL, "too many captures");
            mCaptures[size_t(mLevel)] = Capture{at, at, item.piece == Piece::Open ? Held::Open : Held::Position};
            ++mLevel;
            break;
        case Piece::Close:
        {
            int open = mLevel - 1;
            while (open >= 0 && mCaptures[size_t(open)].held != Held::Open)
                --open;
            if (open < 0)
                luaL_error(mL, "invalid pattern capture");
            mClosed.push_back(open);
            mCaptures[size_t(open)].held = Held::Text;
            mCaptures[size_t(open)].end = at;
            break;
        }
        case Piece::Balanced:
        {
            ok = false;
            if (at >= mLength || mSubject[at] != item.first)
                break;
            // The closer is looked for first: with the same character for both, it closes.
            size_t depth = 1;
            for (size_t i = at + 1; i < mLength; ++i)
            {
                Count(mL, 1);
                if (mSubject[i] == item.second)
                {
                    if (--depth == 0)
                    {
                        at = i + 1;
                        ok = true;
                        break;
                    }
                }
                else if (mSubject[i] == item.first)
                {
                    ++depth;
                }
            }
            break;
        }
        case Piece::Frontier:
        {
            // Before the subject and after it stands a NUL.
            const unsigned char before = at == 0 ? 0 : mSubject[at - 1];
            const unsigned char here = at < mLength ? mSubject[at] : 0;
            ok = !mMaps[item.index].Has(before) && mMaps[item.index].Has(here);
            break;
        }
        case Piece::Again:
        {
            const int capture = int(item.first) - 1;
            if (capture < 0 || capture >= mLevel || mCaptures[size_t(capture)].held == Held::Open)
                luaL_error(mL, "invalid capture index");
            const Capture& taken = mCaptures[size_t(capture)];
            // A position holds no text to match again.
            ok = taken.held == Held::Text && Holds(at, mSubject + taken.start, taken.end - taken.start);
            if (ok)
                at += taken.end - taken.start;
            break;
        }
        }
        if (ok)
            next = index + 1;
        else if (!GoBack(next, at))
            return false;
    }
}

bool Matcher::Search(size_t from, bool anchored, Found& found)
{
    for (size_t at = from; at <= mLength; ++at)
    {
        size_t end = 0;
        if (MatchAt(at, end))
        {
            found = Found{at, end, mLevel};
            return true;
        }
        if (anchored)
            break;
    }
    return false;
}

int FinishMatcher(lua_State* L)
{
    static_cast<Matcher*>(lua_touserdata(L, 1))->~Matcher();
    return 0;
}

// A fresh matcher on the stack, compiled from the pattern.
Matcher& NewMatcher(lua_State* L, const char* pattern, size_t length)
{
    auto* matcher = new (lua_newuserdata(L, sizeof(Matcher))) Matcher();
    luaL_getmetatable(L, kMatcherMeta);
    lua_setmetatable(L, -2);
    if (!matcher->Compile(L, pattern, length))
        luaL_error(L, "pattern too complex");
    return *matcher;
}

// ---- What a match gives a script ------------------------------------------------------------

void PushValue(lua_State* L, const char* subject, const Capture& value)
{
    switch (value.held)
    {
    case Held::Text:
        lua_pushlstring(L, subject + value.start, value.end - value.start);
        return;
    case Held::Position:
        lua_pushinteger(L, lua_Integer(value.start) + 1);
        return;
    case Held::Open:
        break;
    }
    luaL_error(L, "unfinished capture");
}

// Pushes the captures of the match, or the whole match when it has none and whole is set.
int PushValues(lua_State* L, const Matcher& matcher, const Found& found, const char* subject, bool whole)
{
    const int count = found.captures > 0 ? found.captures : (whole ? 1 : 0);
    luaL_checkstack(L, count, "too many captures");
    for (int i = 0; i < count; ++i)
        PushValue(L, subject, matcher.Value(found, i));
    return count;
}

// ---- find, match, gmatch --------------------------------------------------------------------

// Whether no character of the pattern (up to its first NUL, where a pattern ends) means more
// than itself: such a pattern is looked for as plain text, NULs and all.
bool IsPlainText(const char* pattern)
{
    for (const char* c = pattern; *c != '\0'; ++c)
    {
        switch (*c)
        {
        case '^':
        case '$':
        case '*':
        case '+':
        case '?':
        case '.':
        case '(':
        case '[':
        case '%':
        case '-':
            return false;
        default:
            break;
        }
    }
    return true;
}

// The arguments of find and match: subject, pattern and the 0-based place the search starts,
// from a 1-based one counted from the end when negative.
struct Query
{
    const char* subject = nullptr;
    size_t length = 0;
    const char* pattern = nullptr;
    size_t patternLength = 0;
    size_t start = 0;
};

Query ReadQuery(lua_State* L)
{
    Query query;
    query.subject = luaL_checklstring(L, 1, &query.length);
    query.pattern = luaL_checklstring(L, 2, &query.patternLength);
    lua_Integer init = luaL_optinteger(L, 3, 1);
    if (init < 0)
        init += lua_Integer(query.length) + 1;
    query.start = init <= 1 ? 0 : std::min(size_t(init - 1), query.length);
    return query;
}

// The pattern searched for in the subject; the matcher (left on the stack) when found.
const Matcher* SearchQuery(lua_State* L, const Query& query, Found& found)
{
    const size_t length = std::strlen(query.pattern);
    const bool anchored = length > 0 && query.pattern[0] == '^';
    const size_t skip = anchored ? 1 : 0;
    Matcher& matcher = NewMatcher(L, query.pattern + skip, length - skip);
    matcher.Bind(L, query.subject, query.length);
    return matcher.Search(query.start, anchored, found) ? &matcher : nullptr;
}

int StringFind(lua_State* L)
{
    const Query query = ReadQuery(L);
    if (lua_toboolean(L, 4) || IsPlainText(query.pattern))
    {
        // memmem is linear in what it looks through.
        const size_t rest = query.length - query.start;
        Count(L, rest + 1);
        const char* from = query.subject + query.start;
        const void* hit = from;
        if (query.patternLength > 0)
            hit = query.patternLength <= rest ? memmem(from, rest, query.pattern, query.patternLength) : nullptr;
        if (!hit)
        {
            lua_pushnil(L);
            return 1;
        }
        const ptrdiff_t at = static_cast<const char*>(hit) - query.subject;
        lua_pushinteger(L, lua_Integer(at) + 1);
        lua_pushinteger(L, lua_Integer(at) + lua_Integer(query.patternLength));
        return 2;
    }
    Found found;
    const Matcher* matcher = SearchQuery(L, query, found);
    if (!matcher)
    {
        lua_pushnil(L);
        return 1;
    }
    lua_pushinteger(L, lua_Integer(found.start) + 1);
    lua_pushinteger(L, lua_Integer(found.end));
    return 2 + PushValues(L, *matcher, found, query.subject, false);
}

int StringMatch(lua_State* L)
{
    const Query query = ReadQuery(L);
    Found found;
    const Matcher* matcher = SearchQuery(L, query, found);
    if (!matcher)
    {
        lua_pushnil(L);
        return 1;
    }
    return PushValues(L, *matcher, found, query.subject, true);
}

// Upvalues: the subject, the pattern (which the matcher reads) and the matcher. A '^' is no
// anchor here: an anchored pattern could not go on.
int GmatchStep(lua_State* L)
{
    size_t length = 0;
    const char* subject = lua_tolstring(L, lua_upvalueindex(1), &length);
    auto& matcher = *static_cast<Matcher*>(lua_touserdata(L, lua_upvalueindex(3)));
    matcher.Bind(L, subject, length);
    Found found;
    if (!matcher.Search(matcher.mNext, false, found))
        return 0;
    // After an empty match the next search starts one on, or it would find it again.
    matcher.mNext = found.end > found.start ? found.end : found.end + 1;
    return PushValues(L, matcher, found, subject, true);
}

int StringGmatch(lua_State* L)
{
    luaL_checkstring(L, 1);
    const char* pattern = luaL_checkstring(L, 2);
    lua_settop(L, 2);
    NewMatcher(L, pattern, std::strlen(pattern));
    lua_pushcclosure(L, &GmatchStep, 3);
    return 1;
}

// ---- gsub -----------------------------------------------------------------------------------

// A replacement string, read once per gsub: runs of plain text and references to what a match
// took. "%0" is the whole match, "%1"-"%9" a capture, '%' before anything else that character
// (a '%' last stands for the NUL that ends the string).
enum class Insert : uint8_t
{
    Text,    // the next length characters of the template's text
    Whole,   // the whole match
    Capture, // value number capture
};

struct Part
{
    Insert what = Insert::Text;
    uint8_t capture = 0;
    uint32_t length = 0;
};

// In one userdata: the parts, then the text of the runs one after another.
struct Template
{
    Part* parts = nullptr;
    size_t count = 0;
    const char* text = nullptr;
};

// Reads the replacement into parts and text; with both null it only counts them.
void ReadTemplate(lua_State* L, const char* source, size_t length, Part* parts, char* text, size_t& count,
                  size_t& textLength)
{
    count = 0;
    textLength = 0;
    uint32_t run = 0; // characters in the text part being written, 0 when the last part is no text
    const auto start = [&](Insert what, uint8_t capture) {
        if (parts)
            parts[count] = Part{what, capture, 0};
        ++count;
    };
    for (size_t i = 0; i < length; ++i)
    {
        Count(L, 1);
        char c = source[i];
        if (c == '%')
        {
            c = ++i < length ? source[i] : '\0';
            if (std::isdigit(static_cast<unsigned char>(c)))
            {
                start(c == '0' ? Insert::Whole : Insert::Capture, uint8_t(c == '0' ? 0 : c - '1'));
                run = 0;
                continue;
            }
        }
        if (run == 0 || run == UINT32_MAX)
        {
            start(Insert::Text, 0);
            run = 0;
        }
        ++run;
        if (parts)
            parts[count - 1].length = run;
        if (text)
            text[textLength] = c;
        ++textLength;
    }
}

// The replacement at index 3 read into a userdata left on the stack.
Template ReadReplacement(lua_State* L)
{
    size_t length = 0;
    const char* source = lua_tolstring(L, 3, &length);
    Template read;
    size_t textLength = 0;
    ReadTemplate(L, source, length, nullptr, nullptr, read.count, textLength);
    auto* block = static_cast<char*>(lua_newuserdata(L, read.count * sizeof(Part) + textLength));
    read.parts = reinterpret_cast<Part*>(block);
    char* text = block + read.count * sizeof(Part);
    ReadTemplate(L, source, length, read.parts, text, read.count, textLength);
    read.text = text;
    return read;
}

// Adds what the replacement makes of one match to the buffer.
void AddExpansion(lua_State* L, const Template& replacement, const Matcher& matcher, const Found& found,
                  const char* subject, luaL_Buffer* out)
{
    const char* text = replacement.text;
    for (size_t i = 0; i < replacement.count; ++i)
    {
        const Part& part = replacement.parts[i];
        switch (part.what)
        {
        case Insert::Text:
            Count(L, 1 + part.length);
            luaL_addlstring(out, text, part.length);
            text += part.length;
            break;
        case Insert::Whole:
            Count(L, 1 + found.end - found.start);
            luaL_addlstring(out, subject + found.start, found.end - found.start);
            break;
        case Insert::Capture:
        {
            // With no captures, the first stands for the whole match.
            if (part.capture >= std::max(found.captures, 1))
                luaL_error(L, "invalid capture index");
            const Capture value = matcher.Value(found, part.capture);
            Count(L, 1 + (value.held == Held::Text ? value.end - value.start : 0));
            PushValue(L, subject, value);
            luaL_addvalue(out);
            break;
        }
        }
    }
}

// Adds what a function or a table makes of one match: false or nil keeps the match as it was.
void AddLookup(lua_State* L, const Matcher& matcher, const Found& found, const char* subject, luaL_Buffer* out)
{
    if (lua_type(L, 3) == LUA_TFUNCTION)
    {
        lua_pushvalue(L, 3);
        lua_call(L, PushValues(L, matcher, found, subject, true), 1);
    }
    else
    {
        PushValue(L, subject, matcher.Value(found, 0));
        lua_gettable(L, 3);
    }
    if (!lua_toboolean(L, -1))
    {
        lua_pop(L, 1);
        lua_pushlstring(L, subject + found.start, found.end - found.start);
    }
    else if (!lua_isstring(L, -1))
    {
        luaL_error(L, "invalid replacement value (a %s)", luaL_typename(L, -1));
    }
    Count(L, 1 + lua_objlen(L, -1));
    luaL_addvalue(out);
}

// Adds subject characters from..to as they are.
void AddSubject(lua_State* L, const char* subject, size_t from, size_t to, luaL_Buffer* out)
{
    Count(L, to - from);
    luaL_addlstring(out, subject + from, to - from);
}

int StringGsub(lua_State* L)
{
    size_t length = 0;
    const char* subject = luaL_checklstring(L, 1, &length);
    const char* pattern = luaL_checkstring(L, 2);
    const int kind = lua_type(L, 3);
    const int most = luaL_optint(L, 4, length < size_t(INT_MAX) ? int(length) + 1 : INT_MAX);
    luaL_argcheck(L, kind == LUA_TNUMBER || kind == LUA_TSTRING || kind == LUA_TFUNCTION || kind == LUA_TTABLE, 3,
                  "string/function/table expected");
    const size_t patternLength = std::strlen(pattern);
    const bool anchored = patternLength > 0 && pattern[0] == '^';
    const size_t skip = anchored ? 1 : 0;
    // Both below the buffer, which takes the top of the stack.
    Matcher& matcher = NewMatcher(L, pattern + skip, patternLength - skip);
    matcher.Bind(L, subject, length);
    const bool expands = kind == LUA_TNUMBER || kind == LUA_TSTRING;
    const Template replacement = expands ? ReadReplacement(L) : Template{};
    luaL_Buffer out;
    luaL_buffinit(L, &out);
    size_t at = 0;
    int made = 0;
    Found found;
    while (made < most && matcher.Search(at, anchored, found))
    {
        AddSubject(L, subject, at, found.start, &out);
        ++made;
        if (expands)
            AddExpansion(L, replacement, matcher, found, subject, &out);
        else
            AddLookup(L, matcher, found, subject, &out);
        // An empty match keeps the character after it and goes on one further.
        at = found.end;
        if (found.end == found.start)
        {
            if (at < length)
                AddSubject(L, subject, at, at + 1, &out);
            ++at;
        }
        if (anchored)
            break;
    }
    if (at < length)
        AddSubject(L, subject, at, length, &out);
    luaL_pushresult(&out);
    lua_pushinteger(L, made);
    return 2;
}

void SetFunction(lua_State* L, int table, const char* name, lua_CFunction function)
{
    lua_pushcfunction(L, function);
    lua_setfield(L, table, name);
}

} // namespace

void ScriptPatterns::ReadClasses()
{
    using Holds = bool (*)(unsigned char);
    struct Named
    {
        unsigned char letter;
        Holds holds;
    };
    static const Named kNamed[] = {
        {'a', [](unsigned char c) { return std::isalpha(c) != 0; }},
        {'c', [](unsigned char c) { return std::iscntrl(c) != 0; }},
        {'d', [](unsigned char c) { return std::isdigit(c) != 0; }},
        {'l', [](unsigned char c) { return std::islower(c) != 0; }},
        {'p', [](unsigned char c) { return std::ispunct(c) != 0; }},
        {'s', [](unsigned char c) { return std::isspace(c) != 0; }},
        {'u', [](unsigned char c) { return std::isupper(c) != 0; }},
        {'w', [](unsigned char c) { return std::isalnum(c) != 0; }},
        {'x', [](unsigned char c) { return std::isxdigit(c) != 0; }},
        {'z', [](unsigned char c) { return c == 0; }},
    };
    static_assert(std::size(kNamed) * 2 == std::tuple_size_v<decltype(ClassTable::maps)>);
    gClasses.byLetter.fill(nullptr);
    size_t slot = 0;
    for (const Named& named : kNamed)
    {
        CharMap& members = gClasses.maps[slot];
        members = CharMap{};
        for (int c = 0; c < 256; ++c)
            if (named.holds(static_cast<unsigned char>(c)))
                members.Add(static_cast<unsigned char>(c));
        // The upper-case letter is the complement.
        gClasses.maps[slot + 1] = members.Complement();
        gClasses.byLetter[named.letter] = &gClasses.maps[slot];
        gClasses.byLetter[size_t(std::toupper(named.letter))] = &gClasses.maps[slot + 1];
        slot += 2;
    }
}

void ScriptPatterns::Install(lua_State* L)
{
    ReadClasses();
    const int table = lua_gettop(L);
    if (luaL_newmetatable(L, kMatcherMeta))
    {
        lua_pushcfunction(L, &FinishMatcher);
        lua_setfield(L, -2, "__gc");
    }
    lua_pop(L, 1);
    SetFunction(L, table, "find", &StringFind);
    SetFunction(L, table, "match", &StringMatch);
    SetFunction(L, table, "gmatch", &StringGmatch);
    lua_getfield(L, table, "gfind");
    const bool gfind = lua_isfunction(L, -1);
    lua_pop(L, 1);
    if (gfind)
        SetFunction(L, table, "gfind", &StringGmatch);
    SetFunction(L, table, "gsub", &StringGsub);
}
