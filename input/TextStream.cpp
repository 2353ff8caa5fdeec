#include "input/TextStream.h"

#include <algorithm>

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "input/IOLoom.h"

namespace {

class TextStreamFactory : public CompFactoryOf<TextStream>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("SetTextActive", MakeCompFunctor(TextStream::kTypeId, &TextStream::SetTextActive));
        composer.BindMessage("SetText", MakeCompFunctor(TextStream::kTypeId, &TextStream::SetText));
        composer.BindMessage("ClearText", MakeCompFunctor(TextStream::kTypeId, &TextStream::ClearText));
        composer.AddOwnedUpdate(MakeCompFunctor(TextStream::kTypeId, &TextStream::Update));
    }
};

TextStreamFactory gTextStreamFactory;

TextStream* sFocus = nullptr;

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// A code point has at most three continuation bytes; broken text never costs more than that.
constexpr size_t kMostContinuations = 3;

} // namespace

size_t Utf8Cut(std::string_view text, size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    size_t cut = limit;
    for (size_t step = 0; step < kMostContinuations && cut > 0 && IsContinuation(text[cut]); ++step)
        --cut;
    return cut;
}

void Utf8PopBack(std::string& text)
{
    if (text.empty())
        return;
    size_t last = text.size() - 1;
    for (size_t step = 0; step < kMostContinuations && last > 0 && IsContinuation(text[last]); ++step)
        --last;
    text.erase(last);
}

TextStream::~TextStream()
{
    if (sFocus == this)
        sFocus = nullptr;
}

TextStream* TextStream::Focus() { return sFocus; }

void TextStream::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeInt("MaxLength", mMaxLength);
    s.SerializeBoolField("Active", mActive);
}

void TextStream::Initialize()
{
    if (mMaxLength < 0 || mMaxLength > kLongestText)
    {
        Console::Instance().Log("TextStream: MaxLength " + std::to_string(mMaxLength) + " of cog \"" +
                                    mOwner->GetName() + "\" is outside 0.." + std::to_string(kLongestText) +
                                    ", using " + std::to_string(kLongestText),
                                LogError);
        mMaxLength = kLongestText;
    }
    // Room for the longest text now, so typing never allocates.
    mText.reserve(kLongestText + 1);
    mAnnounced.reserve(kLongestText + 1);
    if (mActive)
        sFocus = this;
}

void TextStream::SetTextActive(bool active)
{
    mActive = active;
    if (active)
        sFocus = this;
    else if (sFocus == this)
        sFocus = nullptr;
}

void TextStream::SetText(std::string text)
{
    text.resize(Utf8Cut(text, static_cast<size_t>(mMaxLength)));
    mText = text;
    AnnounceChange();
}

void TextStream::ClearText()
{
    mText.clear();
    AnnounceChange();
}

void TextStream::Update()
{
    const IOLoom* io = IOLoom::Instance();
    if (!io || !mActive || sFocus != this || Console::Instance().GetShowConsole())
        return;
    const std::string& queue = io->GetTextQueue();
    const size_t limit = static_cast<size_t>(mMaxLength);
    size_t pos = 0;
    // A handler may move the focus away; the rest of the frame's typing is then not ours.
    while (pos < queue.size() && mActive && sFocus == this)
    {
        const char c = queue[pos];
        if (c == IOLoom::kTextBackspace)
        {
            Utf8PopBack(mText);
            ++pos;
        }
        else if (c == IOLoom::kTextEnter)
        {
            AnnounceChange();
            Send("TextEntered", true);
            mText.clear();
            ++pos;
        }
        else if (c == IOLoom::kTextEscape)
        {
            AnnounceChange();
            Send("TextCancelled", false);
            ++pos;
        }
        else
        {
            size_t end = pos;
            while (end < queue.size() && queue[end] != IOLoom::kTextBackspace && queue[end] != IOLoom::kTextEnter &&
                   queue[end] != IOLoom::kTextEscape)
                ++end;
            // Cut the piece where the whole text would pass the limit, on a code point boundary.
            const size_t room = limit - std::min(limit, mText.size());
            const size_t take = Utf8Cut(std::string_view(queue).substr(pos, end - pos), room);
            mText.append(queue, pos, take);
            pos = end;
        }
    }
    AnnounceChange();
}

void TextStream::AnnounceChange()
{
    if (mText == mAnnounced)
        return;
    mAnnounced = mText;
    Send("TextChanged", true);
}

void TextStream::Send(const char* message, bool withText)
{
    if (!mOwner)
        return;
    ParamBuffer params;
    if (withText)
        params.PushStdString(mText);
    mOwner->CallFunction(message, params);
}

void RegisterTextStream(CogFactory& cogs) { cogs.Types().RegisterComponent(TextStream::kTypeId, &gTextStreamFactory); }
