#include "graphics/scene/Sprite.h"

#include <algorithm>

#include "LOOM/serial/Serializer.h"
#include "graphics/scene/SceneFields.h"

Sprite::~Sprite()
{
    auto it = std::find(sLive.begin(), sLive.end(), this);
    if (it != sLive.end())
        sLive.erase(it);
    mTexture.Reset();
}

void Sprite::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeRealField("Scale", Scale);
    SceneFields::Int(s, "CellWidth", CellWidth);
    SceneFields::Int(s, "CellHeight", CellHeight);
    SceneFields::Int(s, "CurrentFrame", CurrentFrame);
    s.SerializeRealField("FrameRate", FrameRate);
    SceneFields::Enum(s, "AnimationMode", AnimationMode, "AnimationMode");
    SceneFields::Texture(s, "texture", mTexture);
    SceneFields::ColorField(s, "color", mColor);
    s.SerializeString("Text", Text);
}

void Sprite::Initialize()
{
    sLive.push_back(this);
    mTexture.Reload();
    // A texture that failed to load still counts as one texel wide.
    const uint32_t width = std::max(1u, mTexture.GetWidth());
    const uint32_t height = std::max(1u, mTexture.GetHeight());
    if (CellWidth == -1)
    {
        CellWidth = static_cast<int32_t>(width);
        CellHeight = static_cast<int32_t>(height);
        CurrentFrame = 0;
    }
    mFrameTime = 0.0f;
    mAnimationTime = 0.0f;
    CellU = static_cast<float>(CellWidth) / static_cast<float>(width);
    CellV = static_cast<float>(CellHeight) / static_cast<float>(height);
}
