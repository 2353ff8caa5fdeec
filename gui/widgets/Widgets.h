#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/resource/ResourceFields.h"
#include "gui/Widget.h"

// A panel with an image; "Show" and "Hide" set its active flag.
class Window : public Widget
{
public:
    void Serialize(Serializer& s) override;
    void Render(GuiSystem& gui) override;
};

// Text in the widget's box with the "Alignment" code; "SetText" replaces it. The effect fields
// animate the glyphs.
class TextBox : public Widget
{
public:
    void Serialize(Serializer& s) override;
    void Render(GuiSystem& gui) override;
    void SetGuiText(const std::string& text) override { mText = text; }
    void SetFont(int32_t font) { mFont = font; }
    void SetTextColor(const Color& color) { mTextColor = color; }
    void SetEffect(int32_t mode, const Vector3& values)
    {
        mEffectMode = mode;
        mEffectValues = values;
    }
    std::string QueryText() override { return mText; }
    void Update(float dt) override;

protected:
    void DrawLabel(GuiSystem& gui, int32_t effectMode) const;

    std::string mText;
    int32_t mFont = 0;
    Color mTextColor = Color(1.0f, 1.0f, 1.0f, 1.0f);
    int32_t mEffectMode = 0;
    Vector3 mEffectValues;
    float mEffectTime = 0.0f;
};

// A message that shows for a while: its text fades in, holds and fades out, then nothing is
// drawn until the next Pop. "Scale" enlarges the font. It never takes the mouse.
class PopupText : public TextBox
{
public:
    void Serialize(Serializer& s) override;
    void Render(GuiSystem& gui) override;
    void Update(float dt) override;
    Widget* HitTestName(float, float) override { return nullptr; }

    // Times in seconds; a time that is negative or not a number counts as 0.
    void Pop(const std::string& text, const Color& color, float fadeIn, float hold, float fadeOut);
    // The share of the text's colour drawn now: 0 when nothing shows.
    float Alpha() const;
    void SetScale(float scale) { mScale = scale; }

private:
    float mScale = 1.0f;
    float mFadeIn = 0.0f;
    float mHold = 0.0f;
    float mFadeOut = 0.0f;
    // Seconds since the last Pop; negative while nothing was popped.
    float mAge = -1.0f;
};

// An image with a label; a click sends its message (no value). The label waves under the mouse.
class Button : public TextBox
{
public:
    void Serialize(Serializer& s) override;
    void Render(GuiSystem& gui) override;
    void OnMouseEnter() override { mHover = true; }
    void OnMouseLeave() override { mHover = false; }
    void OnClick() override;
    bool IsHovered() const { return mHover; }
    void SetHoverColor(const Color& color) { mHoverColor = color; }

protected:
    Color mHoverColor = Color(1.0f, 1.0f, 1.0f, 1.0f);
    bool mHover = false;
};

// A box that is ticked or not; a click flips it and sends the new state (bool).
class CheckBox : public Widget
{
public:
    void Serialize(Serializer& s) override;
    void Render(GuiSystem& gui) override;
    void OnClick() override;
    void SetGuiFloat(float value) override { mChecked = value != 0.0f; }
    bool IsChecked() const { return mChecked; }
    void SetCheckColor(const Color& color) { mCheckColor = color; }

private:
    bool mChecked = false;
    Color mCheckColor = Color(0.0f, 0.0f, 0.0f, 1.0f);
};

// A bar filled to its value (0..1).
class ProgressBar : public Widget
{
public:
    void Serialize(Serializer& s) override;
    void Render(GuiSystem& gui) override;
    void SetGuiFloat(float value) override;
    float GetValue() const { return mValue; }
    void SetFillColor(const Color& color) { mFillColor = color; }

protected:
    virtual Color FillColor() const { return mFillColor; }

    float mValue = 0.0f;
    Color mFillColor = Color(0.2f, 0.4f, 1.0f, 1.0f);
};

// A progress bar whose fill runs from red (empty) to green (full).
class HealthBar : public ProgressBar
{
public:
    HealthBar() { mFillColor = Color(0.0f, 1.0f, 0.0f, 1.0f); }
    void Serialize(Serializer& s) override;

protected:
    Color FillColor() const override;

    Color mEmptyColor = Color(1.0f, 0.0f, 0.0f, 1.0f);
};

// A bar with a knob; pressing or dragging sets the value (0..1) from the mouse, releasing
// sends it (float).
class Slider : public ProgressBar
{
public:
    void Serialize(Serializer& s) override;
    void Render(GuiSystem& gui) override;
    void OnMouseDown() override;
    void OnMouseMove() override;
    void OnMouseUp() override;

private:
    void Track();

    bool mDragging = false;
};

// A closed box showing the chosen entry; a click opens the list below it, a click on an entry
// chooses it and sends its text, a press anywhere else closes it.
class ComboBox : public TextBox
{
public:
    void Serialize(Serializer& s) override;
    void Render(GuiSystem& gui) override;
    Widget* HitTestName(float x, float y) override;
    void OnClick() override;
    void OnPressOutside() override { mOpen = false; }
    bool Message(const std::string& message, const std::string& argument) override;
    std::string QueryText() override;
    bool IsOpen() const { return mOpen; }
    const std::vector<std::string>& Entries() const { return mEntries; }
    int32_t GetSelected() const { return mSelected; }

private:
    // The entry under the point, -1 for the box itself or none.
    int32_t EntryAt(float x, float y) const;

    std::vector<std::string> mEntries;
    int32_t mSelected = -1;
    bool mOpen = false;
    Color mListColor = Color(0.1f, 0.1f, 0.1f, 0.9f);
};

// An image, a cell of an icon grid ("SetIndex"), or a named texture from its list
// ("setanimation"); "SetImage" loads a texture file.
class ImageBox : public Widget
{
public:
    struct NamedTexture
    {
        std::string mName;
        std::string mFile;
        void Serialize(Serializer& s);
    };

    void Serialize(Serializer& s) override;
    void Render(GuiSystem& gui) override;
    bool Message(const std::string& message, const std::string& argument) override;
    void SetFrameAnimation(const std::string& name);
    void SetIndex(int32_t index);
    void SetGrid(int32_t columns, int32_t rows)
    {
        mColumns = columns;
        mRows = rows;
    }
    void AddAnimation(std::string name, std::string file) { mAnimations.push_back({std::move(name), std::move(file)}); }
    int32_t GetIndex() const { return mIndex; }

private:
    int32_t mColumns = 0;
    int32_t mRows = 0;
    int32_t mIndex = 0;
    std::vector<NamedTexture> mAnimations;
};

// The mini-map: the map image (rows from the far edge, +z, down) and icons in map coordinates
// 0..1. The box shows the whole map, turned about its middle so that the angle's heading points
// up and as large as the turned map fits; picture, icons and clicks share that one transform.
// Nothing is drawn beyond the map; an icon off the map (the camera past the field's edge) is
// pushed in to the box's edge. A click is sent as Vector3(x, 1 - z, 0).
class MapImageBox : public Widget
{
public:
    static constexpr size_t kReservedIcons = 512;

    struct Icon
    {
        int32_t mKind;
        float mX;
        float mZ;
    };

    MapImageBox();
    void Serialize(Serializer& s) override;
    void Render(GuiSystem& gui) override;
    void OnClick() override;

    void ClearIcons() { mIcons.clear(); }
    void AddIcon(int32_t kind, float x, float z);
    void SetAngle(float radians) { mAngle = radians; }
    void SetIcons(const std::string& file, int32_t columns, float size)
    {
        mIconTexture.SetFile(file);
        mIconColumns = columns;
        mIconSize = size;
    }
    float GetAngle() const { return mAngle; }
    const std::vector<Icon>& Icons() const { return mIcons; }
    // Map coordinates of a point in GUI units.
    void GuiToMap(float x, float y, float& mapX, float& mapZ) const;
    // GUI units of a map point, inside the box for every point of the map.
    void MapToGui(float mapX, float mapZ, float& x, float& y) const;

private:
    // Box sizes per map unit: the turned unit square's bounding box fills the box.
    float Scale() const;
    // Offsets from the box's centre in box sizes (x right, y up) of a map point, and back.
    void MapToView(float mapX, float mapZ, float& vx, float& vy) const;
    void ViewToMap(float vx, float vy, float& mapX, float& mapZ) const;
    void ViewToGui(float vx, float vy, float& x, float& y) const;
    void DrawPicture(GuiSystem& gui) const;
    void DrawIcons(GuiSystem& gui) const;

    TextureRef mIconTexture;
    int32_t mIconColumns = 4;
    float mIconSize = 0.02f;
    float mAngle = 0.0f;
    std::vector<Icon> mIcons;
};

// Items in a row from its top-left corner; items are widgets it owns.
class ToolBar : public Widget
{
public:
    void Serialize(Serializer& s) override;
    void Show() { SetActive(true); }
    void Hide() { SetActive(false); }
    // The items go after the GUI's dispatch when it is running.
    void ClearItems() { DeleteChildren(); }
    void AddItem(std::unique_ptr<Widget> item);
    void SetGuiPosition(float x, float y) override;
    void Layout();

private:
    float mSpacing = 0.01f;
};
