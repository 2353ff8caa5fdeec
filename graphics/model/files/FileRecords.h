#pragma once
#include <bit>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <type_traits>
#include <vector>

#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"
#include "graphics/model/MeshGeometry.h"
#include "graphics/model/animation/Animation.h"

// Records of the chunked model files, decoded from their little-endian bytes. The Decode
// functions go field by field and are right on any host; the Load functions copy a record
// whole where memory already has the file's layout, and decode it otherwise.
namespace FileRecords {

inline uint16_t LoadU16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t LoadU32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline float LoadFloat(const unsigned char* p) { return std::bit_cast<float>(LoadU32(p)); }

inline Vector3 DecodeVector3(const unsigned char* p) { return {LoadFloat(p), LoadFloat(p + 4), LoadFloat(p + 8)}; }

// w, x, y, z on disk.
inline Quat DecodeQuat(const unsigned char* p)
{
    return {LoadFloat(p), LoadFloat(p + 4), LoadFloat(p + 8), LoadFloat(p + 12)};
}

inline FileVertex DecodeVertex(const unsigned char* p)
{
    return {DecodeVector3(p), LoadFloat(p + 12), LoadFloat(p + 16), DecodeVector3(p + 20)};
}

inline Influence DecodeInfluence(const unsigned char* p) { return {LoadFloat(p), LoadU32(p + 4)}; }

inline AnimationKey DecodeKey(const unsigned char* p)
{
    return {LoadFloat(p), DecodeVector3(p + 4), DecodeQuat(p + 16), DecodeVector3(p + 32)};
}

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// Whether T in memory is its Size file bytes: a little-endian host and no padding.
template <typename T, size_t Size>
constexpr bool kSameLayout = kLittleEndian && sizeof(T) == Size&& std::is_trivially_copyable_v<T>;

template <typename T, size_t Size, T (*Decode)(const unsigned char*)>
T Load(const unsigned char* p)
{
    if constexpr (kSameLayout<T, Size>)
    {
        T value;
        std::memcpy(&value, p, Size);
        return value;
    }
    else
        return Decode(p);
}

// Records of Size bytes walked in place, each read by Read: a vector assigned from a pair of
// these is filled in one pass, without first zeroing its elements.
// Values rather than references, like vector<bool>'s iterator: the category tells the vector
// it can size itself up front.
template <typename T, size_t Size, T (*Read)(const unsigned char*)>
class Cursor
{
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = T;

    Cursor() = default;
    explicit Cursor(const unsigned char* at) : mAt(at) {}

    T operator*() const { return Read(mAt); }
    T operator[](difference_type n) const { return Read(mAt + n * difference_type(Size)); }
    Cursor& operator++()
    {
        mAt += Size;
        return *this;
    }
    Cursor operator++(int)
    {
        Cursor old = *this;
        mAt += Size;
        return old;
    }
    Cursor& operator--()
    {
        mAt -= Size;
        return *this;
    }
    Cursor operator--(int)
    {
        Cursor old = *this;
        mAt -= Size;
        return old;
    }
    Cursor& operator+=(difference_type n)
    {
        mAt += n * difference_type(Size);
        return *this;
    }
    Cursor& operator-=(difference_type n)
    {
        mAt -= n * difference_type(Size);
        return *this;
    }
    friend Cursor operator+(Cursor c, difference_type n) { return c += n; }
    friend Cursor operator+(difference_type n, Cursor c) { return c += n; }
    friend Cursor operator-(Cursor c, difference_type n) { return c -= n; }
    friend difference_type operator-(Cursor a, Cursor b) { return (a.mAt - b.mAt) / difference_type(Size); }
    friend bool operator==(Cursor a, Cursor b) { return a.mAt == b.mAt; }
    friend auto operator<=>(Cursor a, Cursor b) { return a.mAt <=> b.mAt; }

private:
    const unsigned char* mAt = nullptr;
};

// The vector becomes exactly count records read from bytes (which must hold them all).
template <typename T, size_t Size, T (*Read)(const unsigned char*)>
void Assign(std::vector<T>& out, const unsigned char* bytes, size_t count)
{
    using C = Cursor<T, Size, Read>;
    out.assign(C(bytes), C(bytes + count * Size));
}

} // namespace FileRecords
