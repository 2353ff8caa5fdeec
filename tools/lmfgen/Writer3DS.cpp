#include "tools/lmfgen/Writer3DS.h"

void Writer3DS::Begin(uint16_t id)
{
    mOpen.push_back(mBytes.size());
    U16(id);
    U32(0);
}

void Writer3DS::End()
{
    const size_t start = mOpen.back();
    mOpen.pop_back();
    const uint32_t length = static_cast<uint32_t>(mBytes.size() - start);
    for (int i = 0; i < 4; ++i)
        mBytes[start + 2 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
}

void Writer3DS::Object(const std::string& name, const LmfPart& part)
{
    Begin(0x4000);
    Str(name);
    Begin(0x4100);
    Begin(0x4110);
    U16(static_cast<uint16_t>(part.vertices.size()));
    for (const FileVertex& v : part.vertices)
        Vec(v.position);
    End();
    Begin(0x4140);
    U16(static_cast<uint16_t>(part.vertices.size()));
    for (const FileVertex& v : part.vertices)
    {
        F32(v.u);
        F32(v.v);
    }
    End();
    Begin(0x4120);
    U16(static_cast<uint16_t>(part.indices.size() / 3));
    for (size_t i = 0; i < part.indices.size(); i += 3)
    {
        U16(part.indices[i]);
        U16(part.indices[i + 1]);
        U16(part.indices[i + 2]);
        U16(7);
    }
    Begin(0x4130);
    Str(name + "Material");
    U16(0);
    End();
    End();
    Begin(0x4160);
    for (int i = 0; i < 12; ++i)
        F32(i % 4 == 0 ? 1.0f : 0.0f);
    End();
    End();
    End();
}
