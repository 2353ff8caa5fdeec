#pragma once
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

// Numbers as data files write them: a whole decimal number, or a finite decimal number for reals,
// alone between blanks; no hex, no "inf" or "nan", nothing after it. Every reader of numbers in
// a data file goes through here, so one text is taken or refused the same way everywhere.
struct DataNumber
{
    // Null when the text is such a number of T's type (int32_t, uint32_t, float or double)
    // within least to most, and value is set; else why not, for Why. The value changes only when
    // the text is taken.
    template <typename T>
    static const char* Parse(std::string_view text, T& value, double least = -std::numeric_limits<double>::infinity(),
                             double most = std::numeric_limits<double>::infinity());
    // What Parse answered, as the log says it (the bounds named when the number lay outside them).
    static std::string Why(const char* parsed, double least, double most);
    // The one error line a refused number gets: the file, the line, the field, the text as
    // written (a long one cut), why, and the value the field keeps.
    static void Refuse(const std::string& file, size_t line, const std::string& field, std::string_view raw,
                       const std::string& why, const std::string& held);
    // The shortest text that reads back as the value.
    template <typename T>
    static std::string Text(T value);
};
