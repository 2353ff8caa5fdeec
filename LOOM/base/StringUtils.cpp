#include "LOOM/base/StringUtils.h"

#include <locale>
#include <sstream>

namespace {
template <typename T>
T ReadValue(const std::string& text)
{
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    in >> std::boolalpha;
    T value{};
    in >> value;
    return in.fail() ? T{} : value;
}

bool AllOf(const std::string& text, const char* allowed)
{
    return text.find_first_not_of(allowed) == std::string::npos;
}
} // namespace

void ToLower(std::string& text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
}

bool IsRealNumber(const std::string& text) { return AllOf(text, "-0123456789."); }
bool IsInteger(const std::string& text) { return AllOf(text, "-0123456789"); }

float StringToFloat(std::string text) { return ReadValue<float>(text); }
double StringToDouble(std::string text) { return ReadValue<double>(text); }
int32_t StringToInt(std::string text) { return ReadValue<int32_t>(text); }

uint32_t StringToUInt(std::string text)
{
    // The stream's unsigned extraction wraps a leading minus; keep that, but read
    // through 64 bits so values past 32 bits fail instead of wrapping twice.
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    long long wide = 0;
    in >> wide;
    if (in.fail() || wide > 0xFFFFFFFFll || wide < -0xFFFFFFFFll)
        return 0;
    return static_cast<uint32_t>(wide);
}

std::string IntToString(int value)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << value;
    return out.str();
}

std::string IntToString(uint16_t value) { return IntToString(static_cast<int>(value)); }

void RunningAverage::Add(float sample)
{
    mSamples.push_back(sample);
    if (mSamples.size() > kMaxSamples)
        mSamples.pop_front();
    float sum = 0.0f;
    for (float s : mSamples)
        sum += s;
    mMean = sum / static_cast<float>(mSamples.size());
}
