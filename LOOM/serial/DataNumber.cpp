#include "LOOM/serial/DataNumber.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "LOOM/console/Console.h"

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A number of its type that lies outside the field's own bounds.
constexpr const char* kOutsideBounds = "out of bounds";

// Digits from at on; returns how many.
size_t Digits(std::string_view text, size_t at)
{
    size_t end = at;
    while (end < text.size() && IsDigit(text[end]))
        ++end;
    return end - at;
}
} // namespace

template <typename T>
const char* DataNumber::Parse(std::string_view text, T& value, double least, double most)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    size_t at = !text.empty() && (text.front() == '+' || text.front() == '-') ? 1 : 0;
    const std::string_view body = !text.empty() && text.front() == '+' ? text.substr(1) : text;
    if constexpr (std::is_integral_v<T>)
    {
        if (text.empty() || Digits(text, at) == 0 || at + Digits(text, at) != text.size())
            return "not a whole decimal number";
        long long wide = 0;
        const auto result = std::from_chars(body.data(), body.data() + body.size(), wide);
        if (result.ec != std::errc() || wide < std::numeric_limits<T>::min() || wide > std::numeric_limits<T>::max())
            return std::is_signed_v<T> ? "out of range for an int: -2147483648 to 2147483647"
                                       : "out of range for a uint: 0 to 4294967295";
        if (double(wide) < least || double(wide) > most)
            return kOutsideBounds;
        value = static_cast<T>(wide);
        return nullptr;
    }
    else
    {
        const size_t wholeAt = at;
        const size_t whole = Digits(text, at);
        at += whole;
        size_t fraction = 0;
        if (at < text.size() && text[at] == '.')
        {
            fraction = Digits(text, at + 1);
            at += 1 + fraction;
        }
        bool good = !text.empty() && whole + fraction > 0;
        bool tiny = false;
        if (good && at < text.size() && (text[at] == 'e' || text[at] == 'E'))
        {
            const size_t mark = at;
            at += at + 1 < text.size() && (text[at + 1] == '+' || text[at + 1] == '-') ? 2 : 1;
            const size_t exponent = Digits(text, at);
            good = exponent > 0;
            at += exponent;
            tiny = good && text[mark + 1] == '-';
        }
        if (!good || at != text.size())
            return "not a finite decimal number";
        double wide = 0.0;
        const auto result = std::from_chars(body.data(), body.data() + body.size(), wide);
        if (result.ec == std::errc::result_out_of_range)
        {
            // Too small to hold reads as 0: a negative exponent, or nothing but 0 before the point.
            const bool zeroWhole = text.substr(wholeAt, whole).find_first_not_of('0') == std::string_view::npos;
            if (!tiny && !zeroWhole)
                return "out of range for a real";
            wide = 0.0;
        }
        else if (result.ec != std::errc() || std::abs(wide) > double(std::numeric_limits<T>::max()))
            return "out of range for a real";
        if (wide < least || wide > most)
            return kOutsideBounds;
        value = static_cast<T>(wide);
        return nullptr;
    }
}

std::string DataNumber::Why(const char* parsed, double least, double most)
{
    if (parsed != kOutsideBounds)
        return parsed ? parsed : "";
    return "out of range: " + Text(least) + " to " + Text(most);
}

void DataNumber::Refuse(const std::string& file, size_t line, const std::string& field, std::string_view raw,
                        const std::string& why, const std::string& held)
{
    // The text as the file has it (a long one cut), so the line can be found and mended.
    constexpr size_t kShown = 60;
    Console::Instance().Log(file + " line " + std::to_string(line) + ": " + field + " \"" +
                                std::string(raw.substr(0, kShown)) + (raw.size() > kShown ? "...\"" : "\"") +
                                " refused (" + why + "); it keeps " + held,
                            LogError);
}

template <typename T>
std::string DataNumber::Text(T value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof(text), value);
    return std::string(text, result.ptr);
}

template const char* DataNumber::Parse(std::string_view, int32_t&, double, double);
template const char* DataNumber::Parse(std::string_view, uint32_t&, double, double);
template const char* DataNumber::Parse(std::string_view, float&, double, double);
template const char* DataNumber::Parse(std::string_view, double&, double, double);
template std::string DataNumber::Text(int32_t);
template std::string DataNumber::Text(uint32_t);
template std::string DataNumber::Text(float);
template std::string DataNumber::Text(double);
