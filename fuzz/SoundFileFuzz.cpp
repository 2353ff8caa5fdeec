// WAV, Ogg and FLAC through the decoder, as positioned (mono) and as music (kept channels).
#include <string>

#include "audio/SoundDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (bool mono : {true, false})
    {
        DecodedSound sound;
        std::string error;
        DecodeSound(bytes, mono, sound, error);
    }
    return 0;
}
