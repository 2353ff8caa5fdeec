#pragma once
#include <cstdint>

#include "LOOM/calls/ParamBuffer.h"

// The argument of every "Damage" handler; travels in parameter buffers as one 12-byte record.
struct DamageInfo
{
    int32_t mFirst = 0;   // the source cog's ID; 0 when no cog is to blame
    float mAmount = 0.0f; // added to the receiver's hit points: negative hurts
    int32_t mType = 0;    // 0 no kill credit, 1 physics, 2 trap, 3 status effect, 4 explosion, 5 suicide,
                          // 6 invader attack, 7 killed by a bomb
};
static_assert(sizeof(DamageInfo) == 12, "DamageInfo travels as a 12-byte record");

inline constexpr uint8_t kDamageInfoCode = 12;
template <>
struct ParamTraits<DamageInfo> : RecordParamTraits<DamageInfo, kDamageInfoCode>
{
};
