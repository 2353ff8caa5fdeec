#include "LOOM/script/ScriptPatterns.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <new>
#include <string_view>
#include <variant>

#include <lua.hpp>

#include "LOOM/script/CompiledPattern.h"
#include "LOOM/script/PatternSearcher.h"
#include "LOOM/script/ReplacementTemplate.h"
#include "LOOM/script/ScriptBounds.h"

// Lua leaves a failing call by longjmp, past C++ destructors. Whatever owns memory therefore
// lives in a PatternJob userdata that the collector finalises; the frames here hold plain values.

namespace {

constexpr const char* kJobMeta = "LOOM.PatternJob";
constexpr int kReplacementArg = 3;

CharacterClasses gClasses;

// Bytes grown through the scripts' allocator by pattern work since the collector was last told.
size_t gUnpaced = 0;
// Told in steps of this much, so small patterns do not make a step each.
constexpr size_t kPaceBytes = size_t(64) << 10;

// The script's own allocator: what a pattern holds counts toward the script's memory cap, and a
// pattern past the cap is refused as any other script value is.
struct ChargedMemory
{
    lua_Alloc alloc = nullptr;
    void* budget = nullptr;
    // The thread the pattern works for now, set on every call.
    lua_State* L = nullptr;
};

void* GrowCharged(void* context, void* block, size_t oldSize, size_t newSize)
{
    const auto& charged = *static_cast<const ChargedMemory*>(context);
    void* result = charged.alloc(charged.budget, block, oldSize, newSize);
    // Refused at the cap: what the script dropped may make the room, as for any value it makes.
    if (!result && newSize > 0 && charged.L)
    {
        lua_gc(charged.L, LUA_GCCOLLECT, 0);
        result = charged.alloc(charged.budget, block, oldSize, newSize);
    }
    if (result && newSize > oldSize)
        gUnpaced += newSize - oldSize;
    return result;
}

// The library paces its collector by the bytes it allocates itself; pattern memory is told to
// it as that much allocation, so dead iterators are collected as fast as it is made.
void PaceCollector(lua_State* L)
{
    if (gUnpaced < kPaceBytes)
        return;
    const size_t kilobytes = std::min<size_t>(gUnpaced >> 10, INT_MAX);
    gUnpaced = 0;
    lua_gc(L, LUA_GCSTEP, int(kilobytes));
}

// Everything one call, or one gmatch loop, works with. It lives in a userdata and never moves,
// so its parts may point at its allocator.
struct PatternJob
{
    explicit PatternJob(lua_State* L) : pattern(Memory(L)), searcher(Memory(L)), replacement(Memory(L)) {}
    PatternMemory Memory(lua_State* L)
    {
        charged.alloc = lua_getallocf(L, &charged.budget);
        return PatternMemory{&GrowCharged, &charged};
    }

    ChargedMemory charged;
    CompiledPattern pattern;
    PatternSearcher searcher;
    PatternMatch match;
    ReplacementTemplate replacement;
    size_t next = 0; // gmatch: where its next search starts
    // The state's kept job is lent to one call at a time; a call made meanwhile (from a
    // finaliser, or gsub's function) takes a new one.
    bool inUse = false;
    // The text the pattern was compiled from, so that the kept job compiles a pattern used
    // again only once.
    PatternString source{PatternAllocator<char>(PatternMemory{&GrowCharged, &charged})};
    bool compiled = false;
    bool compiledAnchor = false;
    uint32_t compiledClasses = 0;
};

// Changes whenever the classes are read again: a pattern compiled before is compiled again.
uint32_t gClassesGeneration = 0;
// Its address keys the state's kept job in the registry.
const char gKeptJobKey = 0;

// The watchdog's clock, for work done on a job: a stop raised there may leave the call at once,
// so the job is given back while the clock is read.
struct WatchContext
{
    lua_State* L = nullptr;
    PatternJob* job = nullptr;
};

int FinishJob(lua_State* L)
{
    static_cast<PatternJob*>(lua_touserdata(L, 1))->~PatternJob();
    return 0;
}

void CountForWatchdog(void* context, size_t units)
{
    const auto& watch = *static_cast<const WatchContext*>(context);
    const bool lent = watch.job && watch.job->inUse;
    if (lent)
        watch.job->inUse = false;
    ScriptBounds::Count(watch.L, units);
    if (lent)
        watch.job->inUse = true;
}

WorkMeter Watched(WatchContext& watch) { return WorkMeter(&CountForWatchdog, &watch); }

int Raise(lua_State* L, PatternProblem problem) { return luaL_error(L, "%s", PatternProblemText(problem)); }

int RaiseOverCap(lua_State* L) { return luaL_error(L, "not enough memory for the pattern (the scripts' memory cap)"); }

// Every error a job's call raises itself gives the job back first.
int Raise(lua_State* L, PatternJob& job, PatternProblem problem)
{
    job.inUse = false;
    return Raise(L, problem);
}

int RaiseOverCap(lua_State* L, PatternJob& job)
{
    job.inUse = false;
    return RaiseOverCap(L);
}

// A new job, left on the stack.
PatternJob& NewJob(lua_State* L)
{
    auto* job = new (lua_newuserdata(L, sizeof(PatternJob))) PatternJob(L);
    luaL_getmetatable(L, kJobMeta);
    lua_setmetatable(L, -2);
    return *job;
}

// The state's kept job when no call has it; null else.
PatternJob* FreeKeptJob(lua_State* L)
{
    lua_pushlightuserdata(L, const_cast<char*>(&gKeptJobKey));
    lua_rawget(L, LUA_REGISTRYINDEX);
    auto* kept = static_cast<PatternJob*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    return kept && !kept->inUse ? kept : nullptr;
}

// The state's kept job, lent to this call, when it is free; else a new one, left on the stack.
PatternJob& TakeJob(lua_State* L, WatchContext& watch)
{
    PatternJob* kept = FreeKeptJob(L);
    PatternJob& job = kept ? *kept : NewJob(L);
    job.inUse = true;
    watch.job = &job;
    return job;
}

// A pattern a script passes ends at its first NUL. A job that compiled the same text last keeps
// what it compiled.
void Compile(lua_State* L, PatternJob& job, const char* pattern, bool leadingAnchor, WorkMeter& meter)
{
    const std::string_view text(pattern, std::strlen(pattern));
    if (job.compiled && job.compiledAnchor == leadingAnchor && job.compiledClasses == gClassesGeneration &&
        std::string_view(job.source) == text)
        return;
    job.compiled = false;
    PatternProblem problem = PatternProblem::None;
    bool overCap = false;
    job.charged.L = L;
    try
    {
        problem = job.pattern.Compile(text, gClasses, leadingAnchor, meter);
        if (problem == PatternProblem::None)
            job.source.assign(text.data(), text.size());
    }
    catch (const std::bad_alloc&)
    {
        overCap = true;
    }
    if (overCap)
        RaiseOverCap(L, job);
    if (problem != PatternProblem::None)
        Raise(L, job, problem);
    job.compiled = true;
    job.compiledAnchor = leadingAnchor;
    job.compiledClasses = gClassesGeneration;
    PaceCollector(L);
}

bool Search(lua_State* L, PatternJob& job, std::string_view subject, size_t from, WorkMeter& meter)
{
    SearchOutcome outcome;
    bool overCap = false;
    job.charged.L = L;
    try
    {
        outcome = job.searcher.Search(job.pattern, subject, from, meter, job.match);
    }
    catch (const std::bad_alloc&)
    {
        overCap = true;
    }
    if (overCap)
        RaiseOverCap(L, job);
    if (outcome.problem != PatternProblem::None)
        Raise(L, job, outcome.problem);
    return outcome.found;
}

// ---- From a match to script values ----------------------------------------------------------

// Text as a string, a place as its 1-based number.
void PushCapture(lua_State* L, std::string_view subject, const PatternCapture& capture)
{
    switch (capture.kind)
    {
    case CaptureKind::Text:
        lua_pushlstring(L, subject.data() + capture.begin, capture.end - capture.begin);
        return;
    case CaptureKind::Position:
        lua_pushinteger(L, lua_Integer(capture.begin) + 1);
        return;
    case CaptureKind::Unfinished:
        Raise(L, PatternProblem::UnfinishedCapture);
        return;
    }
}

int PushFirstValues(lua_State* L, std::string_view subject, const PatternMatch& match, size_t count)
{
    luaL_checkstack(L, int(count), "too many captures");
    for (size_t i = 0; i < count; ++i)
        PushCapture(L, subject, match.Value(i));
    return int(count);
}

// find gives the captures alone; match, gmatch and a gsub function get the whole match when
// there are none.
int PushCaptures(lua_State* L, std::string_view subject, const PatternMatch& match)
{
    return PushFirstValues(L, subject, match, match.captureCount);
}

int PushMatchValues(lua_State* L, std::string_view subject, const PatternMatch& match)
{
    return PushFirstValues(L, subject, match, match.ValueCount());
}

// ---- find and match ------------------------------------------------------------------------

struct SearchArguments
{
    std::string_view subject;
    const char* pattern = nullptr;
    size_t patternLength = 0;
    size_t from = 0;
};

// The 1-based place a search starts, counted from the end when negative, kept on the subject.
size_t StartPlace(lua_Integer given, size_t length)
{
    if (given < 0)
        given += lua_Integer(length) + 1;
    return given <= 1 ? 0 : std::min(size_t(given - 1), length);
}

SearchArguments ReadSearchArguments(lua_State* L)
{
    SearchArguments read;
    size_t length = 0;
    const char* subject = luaL_checklstring(L, 1, &length);
    read.subject = std::string_view(subject, length);
    read.pattern = luaL_checklstring(L, 2, &read.patternLength);
    read.from = StartPlace(luaL_optinteger(L, 3, 1), length);
    return read;
}

// A pattern with none of these before its first NUL is plain text (NULs and all).
bool IsPlain(const char* pattern) { return std::strpbrk(pattern, "^$*+?.([%-") == nullptr; }

int FindPlain(lua_State* L, const SearchArguments& args)
{
    WatchContext watch{L};
    WorkMeter meter = Watched(watch);
    const size_t at = FindText(args.subject, args.from, std::string_view(args.pattern, args.patternLength), meter);
    meter.Flush();
    if (at == std::string_view::npos)
    {
        lua_pushnil(L);
        return 1;
    }
    const auto begin = lua_Integer(at);
    lua_pushinteger(L, begin + 1);
    lua_pushinteger(L, begin + lua_Integer(args.patternLength));
    return 2;
}

int FindFunction(lua_State* L)
{
    const SearchArguments args = ReadSearchArguments(L);
    if (lua_toboolean(L, 4) || IsPlain(args.pattern))
        return FindPlain(L, args);
    WatchContext watch{L};
    WorkMeter meter = Watched(watch);
    PatternJob& job = TakeJob(L, watch);
    Compile(L, job, args.pattern, true, meter);
    const bool found = Search(L, job, args.subject, args.from, meter);
    meter.Flush();
    // Given back before anything is pushed: pushing may run a finaliser that finds again.
    const PatternMatch match = job.match;
    job.inUse = false;
    if (!found)
    {
        lua_pushnil(L);
        return 1;
    }
    lua_pushinteger(L, lua_Integer(match.begin) + 1);
    lua_pushinteger(L, lua_Integer(match.end));
    return 2 + PushCaptures(L, args.subject, match);
}

int MatchFunction(lua_State* L)
{
    const SearchArguments args = ReadSearchArguments(L);
    WatchContext watch{L};
    WorkMeter meter = Watched(watch);
    PatternJob& job = TakeJob(L, watch);
    Compile(L, job, args.pattern, true, meter);
    const bool found = Search(L, job, args.subject, args.from, meter);
    meter.Flush();
    const PatternMatch match = job.match;
    job.inUse = false;
    if (!found)
    {
        lua_pushnil(L);
        return 1;
    }
    return PushMatchValues(L, args.subject, match);
}

// ---- gmatch ---------------------------------------------------------------------------------

// Upvalues: the job, the subject.
int GmatchIterate(lua_State* L)
{
    auto& job = *static_cast<PatternJob*>(lua_touserdata(L, lua_upvalueindex(1)));
    size_t length = 0;
    const char* data = lua_tolstring(L, lua_upvalueindex(2), &length);
    const std::string_view subject(data, length);
    WatchContext watch{L};
    WorkMeter meter = Watched(watch);
    const bool found = Search(L, job, subject, job.next, meter);
    meter.Flush();
    if (!found)
        return 0;
    const PatternMatch& match = job.match;
    // Past an empty match the next search starts a byte on, or it would find the same again.
    job.next = match.end > match.begin ? match.end : match.end + 1;
    return PushMatchValues(L, subject, match);
}

int GmatchFunction(lua_State* L)
{
    luaL_checkstring(L, 1);
    const char* pattern = luaL_checkstring(L, 2);
    WatchContext watch{L};
    WorkMeter meter = Watched(watch);
    PatternJob& job = NewJob(L);
    // A loop over matches cannot be tied to its start: '^' is an ordinary byte here. The loop
    // keeps a pattern of its own; compiled in the kept job, one used again is copied from there.
    if (PatternJob* kept = FreeKeptJob(L))
    {
        kept->inUse = true;
        watch.job = kept;
        Compile(L, *kept, pattern, false, meter);
        bool overCap = false;
        job.charged.L = L;
        try
        {
            job.pattern = kept->pattern;
        }
        catch (const std::bad_alloc&)
        {
            overCap = true;
        }
        kept->inUse = false;
        watch.job = nullptr;
        if (overCap)
            RaiseOverCap(L);
        meter.Add(job.pattern.Steps().size());
    }
    else
    {
        Compile(L, job, pattern, false, meter);
    }
    meter.Flush();
    lua_pushvalue(L, 1);
    lua_pushcclosure(L, &GmatchIterate, 2);
    return 1;
}

// ---- gsub -----------------------------------------------------------------------------------

// How gsub replaces a match, settled once before the first.
struct ByTemplate
{
    const ReplacementTemplate* replacement = nullptr;
};
struct ByTable
{
};
struct ByFunction
{
};
using Replacement = std::variant<ByTemplate, ByTable, ByFunction>;

Replacement ChooseReplacement(lua_State* L)
{
    switch (lua_type(L, kReplacementArg))
    {
    case LUA_TSTRING:
    case LUA_TNUMBER:
        return ByTemplate{};
    case LUA_TTABLE:
        return ByTable{};
    case LUA_TFUNCTION:
        return ByFunction{};
    default:
        luaL_argerror(L, kReplacementArg, "string/function/table expected");
        return ByTable{};
    }
}

void AddBytes(luaL_Buffer* out, std::string_view bytes, WorkMeter& meter)
{
    meter.Add(bytes.size());
    luaL_addlstring(out, bytes.data(), bytes.size());
}

// Adds what one match is replaced by.
struct Replacer
{
    lua_State* L;
    luaL_Buffer* out;
    std::string_view subject;
    const PatternMatch& match;
    WorkMeter& meter;

    std::string_view Matched() const { return subject.substr(match.begin, match.end - match.begin); }

    void operator()(const ByTemplate& by) const
    {
        for (const ReplacementTemplate::Part& part : by.replacement->Parts())
        {
            meter.Add(1);
            switch (part.kind)
            {
            case ReplacementTemplate::Kind::Text:
                AddBytes(out, by.replacement->TextOf(part), meter);
                break;
            case ReplacementTemplate::Kind::Whole:
                AddBytes(out, Matched(), meter);
                break;
            case ReplacementTemplate::Kind::Value:
                AddValue(part.index);
                break;
            }
        }
    }

    void AddValue(size_t index) const
    {
        if (index >= match.ValueCount())
            Raise(L, PatternProblem::InvalidCaptureIndex);
        const PatternCapture value = match.Value(index);
        switch (value.kind)
        {
        case CaptureKind::Text:
            AddBytes(out, subject.substr(value.begin, value.end - value.begin), meter);
            break;
        case CaptureKind::Position:
        {
            char digits[24];
            const auto written = std::to_chars(std::begin(digits), std::end(digits), value.begin + 1);
            AddBytes(out, std::string_view(digits, size_t(written.ptr - digits)), meter);
            break;
        }
        case CaptureKind::Unfinished:
            Raise(L, PatternProblem::UnfinishedCapture);
            break;
        }
    }

    void operator()(ByTable /*by*/) const
    {
        PushCapture(L, subject, match.Value(0));
        lua_gettable(L, kReplacementArg);
        AddGiven();
    }

    void operator()(ByFunction /*by*/) const
    {
        lua_pushvalue(L, kReplacementArg);
        const int values = PushMatchValues(L, subject, match);
        lua_call(L, values, 1);
        AddGiven();
    }

    // A string or a number from the table or the function replaces the match; nil and false
    // leave it as it was; anything else is refused.
    void AddGiven() const
    {
        switch (lua_type(L, -1))
        {
        case LUA_TSTRING:
        case LUA_TNUMBER:
            meter.Add(1 + lua_objlen(L, -1));
            luaL_addvalue(out);
            return;
        case LUA_TNIL:
            lua_pop(L, 1);
            AddBytes(out, Matched(), meter);
            return;
        case LUA_TBOOLEAN:
            if (!lua_toboolean(L, -1))
            {
                lua_pop(L, 1);
                AddBytes(out, Matched(), meter);
                return;
            }
            break;
        default:
            break;
        }
        luaL_error(L, "invalid replacement value (a %s)", luaL_typename(L, -1));
    }
};

int GsubFunction(lua_State* L)
{
    size_t length = 0;
    const char* data = luaL_checklstring(L, 1, &length);
    const std::string_view subject(data, length);
    const char* pattern = luaL_checkstring(L, 2);
    const int most = luaL_optint(L, 4, length < size_t(INT_MAX) ? int(length) + 1 : INT_MAX);
    Replacement replacement = ChooseReplacement(L);

    WatchContext watch{L};
    WorkMeter meter = Watched(watch);
    // A replacement text runs no script: the kept job serves. A function or a table may call the
    // pattern functions again, and a new job goes below the buffer, which works at the top.
    const bool byText = std::holds_alternative<ByTemplate>(replacement);
    PatternJob& job = byText ? TakeJob(L, watch) : NewJob(L);
    Compile(L, job, pattern, true, meter);
    if (auto* byTemplate = std::get_if<ByTemplate>(&replacement))
    {
        size_t textLength = 0;
        const char* text = lua_tolstring(L, kReplacementArg, &textLength);
        bool overCap = false;
        job.charged.L = L;
        try
        {
            job.replacement.Read(std::string_view(text, textLength), meter);
        }
        catch (const std::bad_alloc&)
        {
            overCap = true;
        }
        if (overCap)
            RaiseOverCap(L, job);
        PaceCollector(L);
        byTemplate->replacement = &job.replacement;
    }

    luaL_Buffer out;
    luaL_buffinit(L, &out);
    const PatternMatch& match = job.match;
    size_t at = 0;
    int made = 0;
    while (made < most && Search(L, job, subject, at, meter))
    {
        AddBytes(&out, subject.substr(at, match.begin - at), meter);
        ++made;
        std::visit(Replacer{L, &out, subject, match, meter}, replacement);
        at = match.end;
        // An empty match keeps the byte after it, and the next search starts past that byte.
        if (match.end == match.begin)
        {
            if (at < length)
                AddBytes(&out, subject.substr(at, 1), meter);
            ++at;
        }
        if (job.pattern.Anchored())
            break;
    }
    if (at < length)
        AddBytes(&out, subject.substr(at), meter);
    meter.Flush();
    job.inUse = false;
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
    gClasses.ReadLocale();
    ++gClassesGeneration;
}

void ScriptPatterns::Install(lua_State* L)
{
    ReadClasses();
    const int table = lua_gettop(L);
    if (luaL_newmetatable(L, kJobMeta))
    {
        lua_pushcfunction(L, &FinishJob);
        lua_setfield(L, -2, "__gc");
    }
    lua_pop(L, 1);
    // The kept job, for calls that end before they return.
    lua_pushlightuserdata(L, const_cast<char*>(&gKeptJobKey));
    NewJob(L);
    lua_rawset(L, LUA_REGISTRYINDEX);
    SetFunction(L, table, "find", &FindFunction);
    SetFunction(L, table, "match", &MatchFunction);
    SetFunction(L, table, "gmatch", &GmatchFunction);
    // The old name, where the library still has it.
    lua_getfield(L, table, "gfind");
    const bool hasOldName = lua_isfunction(L, -1);
    lua_pop(L, 1);
    if (hasOldName)
        SetFunction(L, table, "gfind", &GmatchFunction);
    SetFunction(L, table, "gsub", &GsubFunction);
}
