#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/cogs/Object.h"
#include "LOOM/math/Color.h"
#include "graphics/guisystem/GuiSystem.h"
#include "graphics/resource/Texture.h"
#include "gui/WidgetMotion.h"

class Cog;
class ParamBuffer;
class Serializer;

// What a clickable widget does when clicked: a named message to its owner cog (with the
// widget's value) and a script function (with the same value).
struct ClickAction
{
    std::string mMessage;
    std::string mScript;
    void Serialize(Serializer& s);
};

// Every widget derives from this. Positions are in GUI units, absolute: moving a widget moves
// its subtree. A widget holds its owner cog by ID and its children by value.
class Widget : public Object
{
public:
    Widget();
    void Serialize(Serializer& s) override;
    DataMember FindDataMember(std::string name) override;
    virtual ~Widget();
    // This widget or the first of its subtree with that name, or null.
    virtual Widget* FindWidget(const std::string& name);
    virtual void SetActive(bool active) { mActive = active; }
    // The topmost shown widget of this subtree under the point (GUI units), or null.
    virtual Widget* HitTestName(float x, float y);
    // Per frame, core time: it runs while the game is paused.
    virtual void Update(float dt);
    // Writes the trees loaded from files back to their files.
    // False when a file could not be saved; the others are saved all the same.
    bool SaveWidgets();
    // Draws this widget, then its children.
    virtual void Render(GuiSystem& gui);
    // A text message with one argument ("SetText", "Show", ...); false when not understood.
    virtual bool Message(const std::string& message, const std::string& argument);
    virtual void SetGuiFloat(float) {}
    virtual void SetColor(const Color& color) { mColor = color; }
    virtual std::string GetDescription(const std::string& name);
    virtual void SetGuiText(const std::string&) {}
    virtual void SetGuiPosition(float x, float y);
    virtual void SetGuiSize(float width, float height);
    virtual void PlayAnimation(const std::string& name);
    virtual std::string QueryText() { return std::string(); }

    // The type name the widget file writes; set by the factory.
    const std::string& GetTypeName() const { return mTypeName; }
    void SetTypeName(std::string name) { mTypeName = std::move(name); }
    const std::string& GetName() const { return mName; }
    void SetName(std::string name) { mName = std::move(name); }
    void SetToolTip(std::string text) { mToolTip = std::move(text); }
    void SetAlignment(int32_t alignment) { mAlignment = alignment; }
    // The key-frame motion PlayAnimation plays.
    WidgetMotion& Motion() { return mMotion; }
    // What a click sends; only clickable widgets keep it in their files.
    ClickAction& Action() { return mAction; }
    bool IsActive() const { return mActive; }
    const GuiBox& GetBox() const { return mBox; }
    int32_t GetAlignment() const { return mAlignment; }
    TextureRef& Image() { return mImage; }
    Rect& TextureRect() { return mTexRect; }

    void SetOwner(uint32_t cogId);
    Cog* GetOwner() const;

    const std::vector<std::unique_ptr<Widget>>& Children() const { return mChildren; }
    std::vector<std::unique_ptr<Widget>>& MutableChildren() { return mChildren; }
    void AddChild(std::unique_ptr<Widget> child);
    bool IsInSubtree(const Widget* other) const;
    // The file the tree was loaded from (roots only), written back by SaveWidgets.
    void SetSourceFile(std::string file) { mSourceFile = std::move(file); }

protected:
    // The mouse events; only the widget layer dispatches them.
    friend class WidgetLayer;
    virtual void OnClick() {}
    virtual void OnMouseEnter() {}
    virtual void OnMouseLeave() {}
    virtual void OnPress() {}
    // A press landed outside this widget and its subtree.
    virtual void OnPressOutside() {}
    virtual void OnMouseMove() {}
    virtual void OnMouseUp() {}
    virtual void OnMouseDown() {}
    // Moves the widget and its subtree by (dx, dy) GUI units.
    void OnEditDrag(float dx, float dy);

    bool Contains(float x, float y) const;
    // Pixels of the widget's box on the GUI's screen.
    Rect ScreenRect(const GuiSystem& gui) const { return gui.Units().BoxToPixels(mBox); }
    uint32_t GetOwnerId() const { return mOwnerId; }
    // Sends the click value: a message to the owner and a script call.
    void Fire(const ClickAction& action, ParamBuffer& params);
    Widget* GetParent() const { return mParent; }
    // Takes the children out; they are deleted after the GUI's dispatch when one is running.
    void DeleteChildren();
    // The image through the texture rectangle in the box, tinted with the colour.
    void DrawImage(GuiSystem& gui, const Color& tint) const;
    // A part of the widget's box (GUI units) with the matching part of the texture
    // rectangle, so fills and marks share the widget's texture and its batch.
    void DrawImagePart(GuiSystem& gui, const GuiBox& part, const Color& tint) const;
    void RenderChildren(GuiSystem& gui);
    // The image, the part of its texture drawn and the tint, as every widget that draws one has.
    void SerializeImage(Serializer& s);

    std::string mName;
    std::string mToolTip;
    int32_t mAlignment = 1;
    GuiBox mBox;
    TextureRef mImage;
    Rect mTexRect;
    Color mColor = Color(1.0f, 1.0f, 1.0f, 1.0f);
    bool mActive = true;
    ClickAction mAction;

private:
    // Sends a named message with the buffer to the owner cog.
    void HandleCommand(const std::string& message, ParamBuffer& params);

    std::string mTypeName;
    std::string mSourceFile;
    uint32_t mOwnerId = 0;
    Widget* mParent = nullptr;
    std::vector<std::unique_ptr<Widget>> mChildren;
    WidgetMotion mMotion;
};

// The "texture" field (code 0): the texture by its file name.
void SerializeTexture(Serializer& s, const char* name, TextureRef& texture);
// The "rect" field: "bottom", "left", "right", "top" as ints.
void SerializeRect(Serializer& s, const char* name, Rect& rect);
