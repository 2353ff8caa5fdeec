#pragma once
#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// Conversions use the classic "C" locale whatever the process locale is.
void ToLower(std::string& text);
bool IsRealNumber(const std::string& text);
bool IsInteger(const std::string& text);
float StringToFloat(std::string text);
int32_t StringToInt(std::string text);
uint32_t StringToUInt(std::string text);
double StringToDouble(std::string text);
std::string IntToString(int value);
std::string IntToString(uint16_t value);

// Removes the first match by moving the last element into its slot; order is not kept.
template <typename T>
void EraseUnordered(std::vector<T>& items, const T& value)
{
    auto it = std::find(items.begin(), items.end(), value);
    if (it == items.end())
        return;
    *it = items.back();
    items.pop_back();
}

// Mean of the last 40 samples; smooths the frame statistics.
class RunningAverage
{
public:
    static constexpr size_t kMaxSamples = 40;
    void Add(float sample);
    float mMean = 0.0f;

private:
    std::deque<float> mSamples;
};
