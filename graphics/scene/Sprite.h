#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Color.h"
#include "graphics/resource/Texture.h"

// A texture cut into cells with a frame rate, a tint and a text. The frame draws no sprite:
// it carries the data and the cell sizes.
class Sprite : public Comp
{
public:
    static constexpr uint32_t kTypeId = 9;

    ~Sprite() override;
    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "Sprite"; }
    uint32_t GetTypeId() override { return kTypeId; }

    static const std::vector<Sprite*>& Live() { return sLive; }

    float Scale = 1.0f;
    // -1: the whole texture.
    int32_t CellWidth = -1;
    int32_t CellHeight = -1;
    int32_t CurrentFrame = 0;
    float FrameRate = 0.0f;
    int32_t AnimationMode = 0;
    TextureRef mTexture;
    Color mColor{1.0f, 1.0f, 1.0f, 1.0f};
    std::string Text;

    // One cell as a fraction of the texture.
    float CellU = 0.0f;
    float CellV = 0.0f;
    float mFrameTime = 0.0f;
    float mAnimationTime = 0.0f;

private:
    static inline std::vector<Sprite*> sLive;
};
