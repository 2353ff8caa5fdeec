#pragma once
#include <memory>

class GraphicsDevice;
class GuiSystem;

// What the loom needs of the GUI system: its frame hooks, the mouse, the flags and the
// screen-to-clip conversion. The program entry hands the loom a maker for the real GUI; until
// then a stand-in reads the input loom's mouse and draws nothing.
class GuiSeam
{
public:
    virtual ~GuiSeam() = default;
    virtual void Init(GraphicsDevice* device, int width, int height) = 0;
    virtual void Update() = 0;
    virtual void Render() = 0;
    virtual void Shutdown() = 0;
    virtual void OnDeviceLost() = 0;
    virtual void OnDeviceReset(int width, int height) = 0;
    virtual float GetMouseX() const = 0;
    virtual float GetMouseY() const = 0;
    virtual bool HasMouse() const = 0;
    virtual bool IsVisible() const = 0;
    // The "HUD" command.
    virtual void ToggleVisible() = 0;
    // (2x / width - 1, 1 - 2y / height) with the GUI's screen size.
    virtual void ScreenToClip(float x, float y, float& clipX, float& clipY) const = 0;
    // The full GUI system behind this seam, or null for a stand-in.
    virtual GuiSystem* AsGuiSystem() { return nullptr; }

    using Maker = std::unique_ptr<GuiSeam> (*)();
};

// Mouse from the input loom; nothing drawn.
class InputGuiStandIn : public GuiSeam
{
public:
    void Init(GraphicsDevice*, int width, int height) override { SetSize(width, height); }
    void Update() override;
    void Render() override {}
    void Shutdown() override {}
    void OnDeviceLost() override {}
    void OnDeviceReset(int width, int height) override { SetSize(width, height); }
    float GetMouseX() const override { return mMouseX; }
    float GetMouseY() const override { return mMouseY; }
    bool HasMouse() const override { return mHasMouse; }
    bool IsVisible() const override { return mVisible; }
    void ToggleVisible() override { mVisible = !mVisible; }
    void ScreenToClip(float x, float y, float& clipX, float& clipY) const override;

private:
    void SetSize(int width, int height)
    {
        mWidth = width > 0 ? width : 1;
        mHeight = height > 0 ? height : 1;
    }
    float mMouseX = 0.0f;
    float mMouseY = 0.0f;
    bool mHasMouse = false;
    bool mVisible = true;
    int mWidth = 1;
    int mHeight = 1;
};
