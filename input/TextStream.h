#pragma once
#include <string>
#include <string_view>

#include "LOOM/cogs/Comp.h"

class CogFactory;

// Typed text for a cog (type id 31). The stream activated last takes the IO loom's text queue
// each frame, unless the console is shown; it sends "TextChanged" (string) when its text changed
// in a frame, "TextEntered" (string) on Enter and then clears, and "TextCancelled" on Esc. The
// text holds whole UTF-8 code points and at most MaxLength bytes.
class TextStream : public Comp
{
public:
    static constexpr uint32_t kTypeId = 31;
    // The longest text one string parameter carries.
    static constexpr int32_t kLongestText = 127;

    TextStream() = default;
    ~TextStream() override;

    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "TextStream"; }
    uint32_t GetTypeId() override { return kTypeId; }

    // Messages.
    void SetTextActive(bool active);
    void SetText(std::string text);
    void ClearText();

    // The per-frame step.
    void Update();

    const std::string& GetText() const { return mText; }
    bool IsActive() const { return mActive; }
    int32_t GetMaxLength() const { return mMaxLength; }
    // Checked at Initialize, as a loaded value is.
    void SetMaxLength(int32_t length) { mMaxLength = length; }
    // The stream that receives typing; null when none does.
    static TextStream* Focus();

private:
    // Sends "TextChanged" when the text differs from what was last announced.
    void AnnounceChange();
    void Send(const char* message, bool withText);

    int32_t mMaxLength = kLongestText;
    bool mActive = false;
    std::string mText;
    std::string mAnnounced;
};

void RegisterTextStream(CogFactory& cogs);

// UTF-8 helpers shared with the tests.
// The length of the longest start of text, at most limit bytes, that ends on a code point boundary.
size_t Utf8Cut(std::string_view text, size_t limit);
// Removes the last code point.
void Utf8PopBack(std::string& text);
