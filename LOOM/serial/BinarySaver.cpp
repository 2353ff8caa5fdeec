#include "LOOM/serial/BinarySaver.h"

#include <cstring>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"

namespace {
constexpr char kTag[4] = {'l', 'o', 'o', 'm'};
}

BinarySaver::BinarySaver(const std::string& fileName) { Open(fileName); }

BinarySaver::~BinarySaver() { Close(); }

bool BinarySaver::Open(std::string fileName)
{
    Close();
    mFileName = std::move(fileName);
    mBytes.clear();
    mSaved = false;
    if (mFileName.empty())
    {
        mTarget = Target::None;
        Console::Instance().Log("Error Opening Binary File for writing: no file name", LogError);
        return false;
    }
    mTarget = Target::File;
    mClosed = false;
    mBytes.append(kTag, sizeof(kTag));
    return true;
}

void BinarySaver::OpenMemory()
{
    Close();
    mFileName = "memory";
    mBytes.assign(kTag, sizeof(kTag));
    mTarget = Target::Memory;
    mClosed = false;
}

void BinarySaver::Close()
{
    if (mTarget == Target::None || mClosed)
        return;
    mClosed = true;
    mBytes.append(kTag, sizeof(kTag));
    if (mTarget == Target::File)
    {
        mSaved = SaveWholeFile(mFileName, mBytes);
        mBytes.clear();
        mBytes.shrink_to_fit();
        mTarget = Target::None;
    }
}

bool BinarySaver::IsGood()
{
    if (mTarget == Target::Memory || mTarget == Target::File)
        return true;
    return mClosed && mSaved;
}

bool BinarySaver::BeginField(const char*, const char*, bool, uint32_t, void*) { return true; }
void BinarySaver::EndField(const char*, bool) {}

void BinarySaver::WriteU32(uint32_t value)
{
    const char bytes[4] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                           static_cast<char>((value >> 16) & 0xFF), static_cast<char>((value >> 24) & 0xFF)};
    mBytes.append(bytes, 4);
}

void BinarySaver::WriteText(const std::string& text)
{
    // The text ends at its first 0 byte, as the loader will see it.
    size_t size = std::strlen(text.c_str());
    if (size > kMaxText)
    {
        Console::Instance().Log("Binary text of " + std::to_string(size) + " bytes cut to " + std::to_string(kMaxText) +
                                    ", File: " + mFileName,
                                LogError);
        size = kMaxText;
    }
    mBytes.append(text.data(), size);
    mBytes.push_back('\0');
}

void BinarySaver::Serialize(const std::string& value) { WriteText(value); }
void BinarySaver::Serialize(std::string& value) { WriteText(value); }
void BinarySaver::Serialize(char& value) { mBytes.push_back(value); }
void BinarySaver::Serialize(bool& value) { mBytes.push_back(value ? 1 : 0); }
void BinarySaver::Serialize(uint32_t& value) { WriteU32(value); }
void BinarySaver::Serialize(double& value)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    WriteU32(static_cast<uint32_t>(bits));
    WriteU32(static_cast<uint32_t>(bits >> 32));
}
void BinarySaver::Serialize(int32_t& value) { WriteU32(static_cast<uint32_t>(value)); }
void BinarySaver::Serialize(float& value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    WriteU32(bits);
}

void BinarySaver::SerializeNamed(const std::string&, const float& value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    WriteU32(bits);
}
void BinarySaver::SerializeNamed(const std::string&, const uint32_t& value) { WriteU32(value); }
// Constant texts (a list's item type, an enumeration's name) are fixed by the code: not stored.
void BinarySaver::SerializeNamed(const std::string&, const char* const&) {}
void BinarySaver::SerializeNamed(const std::string&, std::string& value) { WriteText(value); }
void BinarySaver::SerializeNamed(const std::string&, uint32_t& value) { WriteU32(value); }
void BinarySaver::SerializeNamed(const std::string&, bool& value) { mBytes.push_back(value ? 1 : 0); }
