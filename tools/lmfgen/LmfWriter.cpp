#include "tools/lmfgen/LmfWriter.h"

#include <map>
#include <tuple>

void LmfWriter::Begin(uint32_t mark)
{
    U32(mark);
    mOpen = mBytes.size();
    U32(0);
}

void LmfWriter::Close()
{
    const uint32_t size = static_cast<uint32_t>(mBytes.size() - mOpen - 4);
    for (int i = 0; i < 4; ++i)
        mBytes[mOpen + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
}

LmfWriter& LmfWriter::Header()
{
    Begin(0x01);
    U32(1);
    U32(0);
    Close();
    return *this;
}

LmfWriter& LmfWriter::Mesh(const LmfMesh& mesh)
{
    Begin(0x0B);
    F32(mesh.radius);
    Vec(mesh.corner1);
    Vec(mesh.corner2);
    Close();
    Begin(0x02);
    U32(static_cast<uint32_t>(mesh.parts.size()));
    U32(mesh.kind);
    Close();
    for (const LmfPart& part : mesh.parts)
    {
        Begin(0x03);
        U32(part.index);
        U32(part.parent);
        U32(part.target);
        U32(static_cast<uint32_t>(part.indices.size() / 3));
        Close();
        ListChunk(0x04, part.indices, [this](uint16_t i) { U16(i); });
        ListChunk(0x05, part.adjacency, [this](uint16_t a) { U16(a); });
        ListChunk(0x06, part.vertices, [this](const FileVertex& v) {
            Vec(v.position);
            F32(v.u);
            F32(v.v);
            Vec(v.normal);
        });
        if (part.influencesPerVertex > 0)
        {
            Begin(0x0A);
            U32(0);
            U32(part.influencesPerVertex);
            for (const Influence& influence : part.influences)
            {
                F32(influence.weight);
                U32(influence.bone);
            }
            Close();
        }
        if (part.keepApartChunk)
        {
            Begin(0xAA);
            U32(part.keepApart);
            Close();
        }
    }
    if (!mesh.partBones.empty())
        ListChunk(0x0D, mesh.partBones, [this](const std::array<uint32_t, 3>& bone) {
            for (uint32_t value : bone)
                U32(value);
        });
    return *this;
}

LmfWriter& LmfWriter::Bones(const std::vector<LmfBone>& bones)
{
    ListChunk(0x09, bones, [this](const LmfBone& bone) {
        U32(static_cast<uint32_t>(bone.parent));
        for (float element : bone.matrix.m)
            F32(element);
    });
    return *this;
}

LmfWriter& LmfWriter::NamedBones(const std::vector<LmfNamedBone>& bones)
{
    ListChunk(0x10, bones, [this](const LmfNamedBone& bone) {
        Str(bone.name);
        U32(bone.parent);
    });
    return *this;
}

LmfWriter& LmfWriter::Clips(const std::vector<LmfClip>& clips)
{
    Begin(0x07);
    U32(static_cast<uint32_t>(clips.size()));
    Close();
    for (const LmfClip& clip : clips)
    {
        Begin(0x08);
        Str(clip.name);
        F32(clip.length);
        F32(clip.second);
        U32(static_cast<uint32_t>(clip.tracks.size()));
        for (const auto& track : clip.tracks)
        {
            U32(static_cast<uint32_t>(track.size()));
            for (const AnimationKey& key : track)
            {
                F32(key.time);
                Vec(key.position);
                F32(key.rotation.w);
                F32(key.rotation.x);
                F32(key.rotation.y);
                F32(key.rotation.z);
                Vec(key.scale);
            }
        }
        Close();
    }
    return *this;
}

LmfWriter& LmfWriter::DistancePoints(const std::vector<Vector3>& points)
{
    ListChunk(0xA0, points, [this](const Vector3& p) { Vec(p); });
    return *this;
}

LmfWriter& LmfWriter::Raw(uint32_t mark, const std::string& payload)
{
    U32(mark);
    U32(static_cast<uint32_t>(payload.size()));
    mBytes.append(payload);
    return *this;
}

LmfWriter& LmfWriter::End()
{
    U32(0);
    U32(0);
    return *this;
}

void ComputeAdjacency(LmfPart& part)
{
    using Key = std::tuple<float, float, float>;
    std::map<Key, uint32_t> weld;
    std::vector<uint32_t> id(part.vertices.size());
    for (size_t v = 0; v < part.vertices.size(); ++v)
    {
        const Vector3& p = part.vertices[v].position;
        id[v] = weld.emplace(Key{p.x, p.y, p.z}, static_cast<uint32_t>(weld.size())).first->second;
    }
    const size_t faces = part.indices.size() / 3;
    part.adjacency.assign(part.indices.size(), 0xFFFF);
    std::map<std::pair<uint32_t, uint32_t>, size_t> open;
    for (size_t f = 0; f < faces; ++f)
    {
        for (size_t e = 0; e < 3; ++e)
        {
            const uint32_t a = id[part.indices[3 * f + e]];
            const uint32_t b = id[part.indices[3 * f + (e + 1) % 3]];
            auto reverse = open.find({b, a});
            if (reverse != open.end())
            {
                part.adjacency[reverse->second] = static_cast<uint16_t>(f);
                part.adjacency[3 * f + e] = static_cast<uint16_t>(reverse->second / 3);
                open.erase(reverse);
            }
            else
            {
                open.emplace(std::make_pair(a, b), 3 * f + e);
            }
        }
    }
}
