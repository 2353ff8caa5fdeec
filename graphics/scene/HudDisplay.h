#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Color.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Vector3.h"

class BitmapFont;
class GpuBuffer;
class GraphicsDevice;

// A small bar and/or a line of text floating above its cog, always facing the camera.
class HudDisplay : public Comp
{
public:
    static constexpr uint32_t kTypeId = 14;
    static constexpr uint32_t kVertexSize = 20;
    static constexpr uint32_t kVertexCount = 12;

    ~HudDisplay() override;
    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "HudDisplay"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void SetPercent(float percent) { Percent = percent; }
    void ShowBar(bool show) { mShowBar = show; }
    void SetNumber(int32_t number) { Text = std::to_string(number); }
    void ShowNumber(bool show) { mShowNumber = show; }
    void SetHUDColor(Color color) { mColor = color; }
    void SetText(std::string text) { Text = std::move(text); }

    // The shared vertex buffer: made at start-up and after a reset, gone at loss and shutdown.
    static void CreateVertexBuffer(GraphicsDevice* device);
    static void ReleaseVertexBuffer();
    static GpuBuffer* GetVertexBuffer();
    // The font of the displays' text (the GUI's first); null draws no text.
    static void SetFont(BitmapFont* font);
    static const std::vector<HudDisplay*>& Live() { return sLive; }

    // Draws this display with the active camera; nothing without one.
    void Render(GraphicsDevice& device);
    // The twelve bar vertices (background, fill, edge) as Render writes them.
    void WriteBar(float* out) const;

    float Percent = 1.0f;
    std::string Text;
    Vector3 Size{8.0f, 2.0f, 1.0f};
    Vector3 Offset{0.0f, 10.0f, 0.0f};
    int32_t Style = 0;
    Color mColor{0.0f, 1.0f, 0.0f, 1.0f};
    bool mShowBar = false;
    bool mShowNumber = false;

private:
    static inline std::vector<HudDisplay*> sLive;
};

void RegisterHudDisplayMessages(class Composer& composer);
