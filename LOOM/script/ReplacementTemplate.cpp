#include "LOOM/script/ReplacementTemplate.h"

void ReplacementTemplate::Read(std::string_view text, WorkMeter& meter)
{
    mParts.clear();
    mText.clear();
    // Counted as it is read: a replacement of megabytes is work the watchdog must be able to stop.
    meter.Add(1);
    const auto addByte = [this](char c) {
        if (mParts.empty() || mParts.back().kind != Kind::Text)
            mParts.push_back(Part{Kind::Text, 0, mText.size(), 0});
        mText.push_back(c);
        ++mParts.back().length;
    };
    for (size_t at = 0; at < text.size(); ++at)
    {
        meter.Add(1);
        if (text[at] != '%')
        {
            addByte(text[at]);
            continue;
        }
        ++at;
        const char escaped = at < text.size() ? text[at] : '\0';
        if (escaped == '0')
            mParts.push_back(Part{Kind::Whole, 0, 0, 0});
        else if (escaped >= '1' && escaped <= '9')
            mParts.push_back(Part{Kind::Value, uint32_t(escaped - '1'), 0, 0});
        else
            addByte(escaped);
    }
}
