#include "LOOM/serial/BinaryLoader.h"

#include <algorithm>
#include <cstring>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/BinarySaver.h"

namespace {
constexpr char kTag[4] = {'l', 'o', 'o', 'm'};
}

BinaryLoader::BinaryLoader(const std::string& fileName) { Open(fileName); }

bool BinaryLoader::Open(std::string fileName)
{
    mFileName = std::move(fileName);
    mBytes.clear();
    mPos = mEnd = 0;
    mFailed = false;
    // Only plain files are read: anything else is refused without waiting on it.
    mOpen = ReadWholeFile(mFileName, mBytes);
    if (!mOpen)
    {
        Console::Instance().Log("Error Opening Binary File, Filename: " + mFileName, LogError);
        return false;
    }
    return Start();
}

bool BinaryLoader::OpenFromBuffer(std::string bytes, const std::string& name)
{
    mFileName = name;
    mBytes = std::move(bytes);
    mPos = 0;
    mFailed = false;
    mOpen = true;
    return Start();
}

bool BinaryLoader::Start()
{
    mEnd = mBytes.size();
    if (mEnd < sizeof(kTag))
    {
        Fail("it is shorter than its tag");
        return false;
    }
    if (std::memcmp(mBytes.data(), kTag, sizeof(kTag)) != 0)
    {
        // The data may still be usable: reading goes on after the report.
        Console::Instance().Log("Binary File has no opening tag, Filename: " + mFileName, LogError);
        if (AssertFailed("tag == readvalue", __FILE__, __LINE__, "Binary File Error"))
            DebugBreakIfAttached();
    }
    mPos = sizeof(kTag);
    // Values never run into the closing tag; without one the file was cut short.
    if (mEnd >= 2 * sizeof(kTag) && std::memcmp(mBytes.data() + mEnd - sizeof(kTag), kTag, sizeof(kTag)) == 0)
        mEnd -= sizeof(kTag);
    else
        Console::Instance().Log("Binary File has no closing tag (cut short?), Filename: " + mFileName, LogError);
    return true;
}

void BinaryLoader::Close()
{
    mOpen = false;
    mBytes.clear();
    mBytes.shrink_to_fit();
    mPos = mEnd = 0;
}

void BinaryLoader::Fail(const std::string& why)
{
    if (mFailed)
        return;
    mFailed = true;
    Console::Instance().Log("Binary File is not correct: " + why + ", Filename: " + mFileName, LogError);
}

const unsigned char* BinaryLoader::Take(size_t n)
{
    if (!mOpen || mFailed)
        return nullptr;
    if (mEnd - mPos < n)
    {
        Fail("it ends before all its values");
        return nullptr;
    }
    const unsigned char* at = reinterpret_cast<const unsigned char*>(mBytes.data()) + mPos;
    mPos += n;
    return at;
}

bool BinaryLoader::ReadU32(uint32_t& value)
{
    const unsigned char* b = Take(4);
    if (!b)
        return false;
    value = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
        (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

bool BinaryLoader::ReadText(std::string* value)
{
    if (!mOpen || mFailed)
        return false;
    const size_t window = std::min(mEnd - mPos, BinarySaver::kMaxText + 1);
    const char* start = mBytes.data() + mPos;
    const void* zero = std::memchr(start, 0, window);
    if (!zero)
    {
        Fail(window > BinarySaver::kMaxText
                 ? "a text is longer than " + std::to_string(BinarySaver::kMaxText) + " bytes"
                 : std::string("it ends inside a text"));
        return false;
    }
    const size_t size = static_cast<size_t>(static_cast<const char*>(zero) - start);
    if (value)
        value->assign(start, size);
    mPos += size + 1;
    return true;
}

uint32_t BinaryLoader::CapListCount(uint32_t count)
{
    // Every item takes at least one byte.
    const size_t most = BytesLeft();
    if (count <= most)
        return count;
    Fail("a list size of " + std::to_string(count) + " is larger than the rest of the file can hold");
    return static_cast<uint32_t>(most);
}

// Fields carry no bytes of their own; once the input has failed nothing more is begun.
bool BinaryLoader::BeginField(const char*, const char*, bool, uint32_t, void*) { return IsGood(); }
void BinaryLoader::EndField(const char*, bool) {}

void BinaryLoader::Serialize(const std::string&) { ReadText(nullptr); }
void BinaryLoader::Serialize(std::string& value) { ReadText(&value); }
void BinaryLoader::Serialize(char& value)
{
    if (const unsigned char* b = Take(1))
        value = static_cast<char>(*b);
}
void BinaryLoader::Serialize(bool& value)
{
    if (const unsigned char* b = Take(1))
        value = *b != 0;
}
void BinaryLoader::Serialize(uint32_t& value) { ReadU32(value); }
void BinaryLoader::Serialize(double& value)
{
    const unsigned char* b = Take(8);
    if (!b)
        return;
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | b[i];
    std::memcpy(&value, &bits, sizeof(value));
}
void BinaryLoader::Serialize(int32_t& value)
{
    uint32_t bits = 0;
    if (ReadU32(bits))
        value = static_cast<int32_t>(bits);
}
void BinaryLoader::Serialize(float& value)
{
    uint32_t bits = 0;
    if (ReadU32(bits))
        std::memcpy(&value, &bits, sizeof(value));
}

void BinaryLoader::SerializeNamed(const std::string&, const float&) { Take(4); }
void BinaryLoader::SerializeNamed(const std::string&, const uint32_t&) { Take(4); }
void BinaryLoader::SerializeNamed(const std::string&, const char* const&) {}
void BinaryLoader::SerializeNamed(const std::string&, std::string& value) { ReadText(&value); }
void BinaryLoader::SerializeNamed(const std::string&, uint32_t& value) { ReadU32(value); }
void BinaryLoader::SerializeNamed(const std::string&, bool& value)
{
    if (const unsigned char* b = Take(1))
        value = *b != 0;
}
