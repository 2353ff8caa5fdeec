#pragma once
#include <cstdint>
#include <string>

#include "LOOM/serial/Serializer.h"

// The compact form of a record: the tag "loom", the plain values in Serialize order
// (little-endian, texts as bytes and a 0 byte), the tag "loom" again. No names, no structure.
// Bytes are collected in memory; a file is saved whole when it is closed, or not at all.
class BinarySaver : public Serializer
{
public:
    // Longest text written; the loader accepts no more.
    static constexpr size_t kMaxText = 1u << 20;

    BinarySaver() = default;
    explicit BinarySaver(const std::string& fileName);
    ~BinarySaver() override;

    // Starts a file in memory; false (and logged) without a name.
    bool Open(std::string fileName) override;
    // Saves into memory; Bytes() holds the result once Close has written the closing tag.
    void OpenMemory();
    // Saves the file; IsGood then tells whether it was saved.
    void Close() override;
    bool IsGood() override;
    bool IsSaving() override { return true; }
    const std::string& Bytes() const { return mBytes; }

    LOOM_SERIALIZER_OVERRIDES

private:
    void WriteU32(uint32_t value);
    void WriteText(const std::string& text);

    enum class Target
    {
        None,
        File,
        Memory,
    };
    Target mTarget = Target::None;
    bool mClosed = false;
    bool mSaved = false;
    std::string mFileName;
    std::string mBytes;
};
