#include "gui/Widget.h"

#include <algorithm>

#include "LOOM/base/FileUtils.h"
#include "LOOM/calls/CogDirectory.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/script/ScriptManager.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/resource/ResourceFields.h"
#include "gui/WidgetFile.h"
#include "gui/WidgetLayer.h"

void ClickAction::Serialize(Serializer& s)
{
    s.SerializeString("Message", mMessage);
    s.SerializeString("Script", mScript);
}

void SerializeTexture(Serializer& s, const char* name, TextureRef& texture)
{
    if (s.BeginField("texture", name, true, TypeTexture, &texture))
    {
        if (s.IsSaving())
        {
            s.Serialize(texture.GetFile());
        }
        else
        {
            std::string file = texture.GetFile();
            s.Serialize(file);
            KeepDataName(file);
            if (file != texture.GetFile())
                texture.SetFile(file);
        }
        s.EndField("texture", true);
    }
}

void SerializeRect(Serializer& s, const char* name, Rect& rect)
{
    if (s.BeginField("rect", name, false, TypeElement, &rect))
    {
        s.SerializeInt("bottom", rect.mBottom);
        s.SerializeInt("left", rect.mLeft);
        s.SerializeInt("right", rect.mRight);
        s.SerializeInt("top", rect.mTop);
        s.EndField("rect", false);
    }
}

Widget::Widget() = default;

Widget::~Widget()
{
    // Children go first, so each is forgotten while its parent still stands.
    mChildren.clear();
    WidgetLayer::Forget(this);
}

void Widget::Serialize(Serializer& s)
{
    s.SerializeString("Name", mName);
    s.SerializeString("ToolTipDescription", mToolTip);
    s.SerializeInt("Alignment", mAlignment);
    Vector3 size(mBox.mWidth, mBox.mHeight, 0.0f), position(mBox.mX, mBox.mY, 0.0f);
    s.SerializeVector("scrSize", size);
    s.SerializeVector("scrPosition", position);
    s.SerializeRealField("Rotation", mBox.mRotation);
    mMotion.Serialize(s);
    mBox.mWidth = size.x;
    mBox.mHeight = size.y;
    mBox.mX = position.x;
    mBox.mY = position.y;
}

void Widget::SerializeImage(Serializer& s)
{
    SerializeTexture(s, "Image", mImage);
    SerializeRect(s, "TextureRect", mTexRect);
    SerializeColorField(s, "Color", mColor);
}

DataMember Widget::FindDataMember(std::string name)
{
    if (name == "Name")
        return {&mName, TypeString};
    if (name == "Rotation")
        return {&mBox.mRotation, TypeFloat};
    return {};
}

Widget* Widget::FindWidget(const std::string& name)
{
    if (mName == name)
        return this;
    for (auto& child : mChildren)
        if (Widget* found = child->FindWidget(name))
            return found;
    return nullptr;
}

void Widget::OnEditDrag(float dx, float dy) { SetGuiPosition(mBox.mX + dx, mBox.mY + dy); }

bool Widget::Contains(float x, float y) const
{
    return x >= mBox.mX && x < mBox.mX + mBox.mWidth && y <= mBox.mY && y > mBox.mY - mBox.mHeight;
}

Widget* Widget::HitTestName(float x, float y)
{
    if (!mActive)
        return nullptr;
    for (auto it = mChildren.rbegin(); it != mChildren.rend(); ++it)
        if (Widget* hit = (*it)->HitTestName(x, y))
            return hit;
    return Contains(x, y) ? this : nullptr;
}

void Widget::Update(float dt)
{
    WidgetMotion::Pose pose;
    if (mMotion.Step(dt, pose))
    {
        SetGuiPosition(pose.mX, pose.mY);
        mBox.mRotation = pose.mRotation;
    }
    for (size_t i = 0; i < mChildren.size(); ++i)
        if (mChildren[i]->IsActive())
            mChildren[i]->Update(dt);
}

void Widget::PlayAnimation(const std::string& name)
{
    const Animation* found = mMotion.Find(name, mName);
    if (!found)
        return;
    // A replay starts from where the first play started.
    if (mMotion.IsPlaying())
    {
        const WidgetMotion::Pose& base = mMotion.GetBase();
        SetGuiPosition(base.mX, base.mY);
        mBox.mRotation = base.mRotation;
    }
    mMotion.Start(*found, {mBox.mX, mBox.mY, mBox.mRotation});
}

bool Widget::SaveWidgets()
{
    // The name came from a data file: it is saved only inside the data folder.
    std::string inside;
    if (!mSourceFile.empty())
        return DataPathInside(mSourceFile, inside) && SaveWidgetFile(inside, *this);
    bool saved = true;
    for (auto& child : mChildren)
        saved = child->SaveWidgets() && saved;
    return saved;
}

void Widget::Render(GuiSystem& gui) { RenderChildren(gui); }

void Widget::RenderChildren(GuiSystem& gui)
{
    for (auto& child : mChildren)
        if (child->IsActive())
            child->Render(gui);
}

void Widget::DrawImage(GuiSystem& gui, const Color& tint) const
{
    GuiPainter& painter = gui.Painter();
    painter.SetColor(tint.r, tint.g, tint.b, tint.a);
    painter.SetTexture(mImage);
    painter.SetWidgetTransform(mBox);
    painter.DrawQuad(mTexRect);
}

void Widget::DrawImagePart(GuiSystem& gui, const GuiBox& part, const Color& tint) const
{
    GuiPainter& painter = gui.Painter();
    painter.SetColor(tint.r, tint.g, tint.b, tint.a);
    painter.SetTexture(mImage);
    painter.SetWidgetTransform(part);
    Rect texels = mTexRect;
    if (texels.mRight == texels.mLeft || texels.mBottom == texels.mTop)
        texels = Rect{0, 0, int32_t(mImage.GetWidth()), int32_t(mImage.GetHeight())};
    if (mBox.mWidth > 0.0f && mBox.mHeight > 0.0f)
    {
        const float w = float(texels.mRight - texels.mLeft), h = float(texels.mBottom - texels.mTop);
        const float fx0 = (part.mX - mBox.mX) / mBox.mWidth, fx1 = (part.mX + part.mWidth - mBox.mX) / mBox.mWidth;
        const float fy0 = (mBox.mY - part.mY) / mBox.mHeight;
        const float fy1 = (mBox.mY - part.mY + part.mHeight) / mBox.mHeight;
        texels = Rect{texels.mLeft + int32_t(w * fx0), texels.mTop + int32_t(h * fy0), texels.mLeft + int32_t(w * fx1),
                      texels.mTop + int32_t(h * fy1)};
    }
    painter.DrawQuad(texels);
}

bool Widget::Message(const std::string& message, const std::string& argument)
{
    if (message == "Show" || message == "Hide")
    {
        SetActive(message == "Show");
        return true;
    }
    if (message == "SetText")
    {
        SetGuiText(argument);
        return true;
    }
    return false;
}

void Widget::HandleCommand(const std::string& message, ParamBuffer& params)
{
    if (message.empty())
        return;
    if (Cog* owner = GetOwner())
        owner->CallFunction(message, params);
}

std::string Widget::GetDescription(const std::string& name) { return name == mName ? mToolTip : std::string(); }

void Widget::SetGuiPosition(float x, float y)
{
    const float dx = x - mBox.mX, dy = y - mBox.mY;
    mBox.mX = x;
    mBox.mY = y;
    for (auto& child : mChildren)
        child->SetGuiPosition(child->mBox.mX + dx, child->mBox.mY + dy);
}

void Widget::SetGuiSize(float width, float height)
{
    mBox.mWidth = width;
    mBox.mHeight = height;
}

void Widget::SetOwner(uint32_t cogId)
{
    mOwnerId = cogId;
    for (auto& child : mChildren)
        child->SetOwner(cogId);
}

Cog* Widget::GetOwner() const
{
    CogDirectory* directory = CogDirectory::Get();
    return directory && mOwnerId ? directory->FindCogById(mOwnerId) : nullptr;
}

void Widget::Fire(const ClickAction& action, ParamBuffer& params)
{
    // Heard where the owner cog has a 2D sound player (the menus and the HUD); others ignore it.
    // First: the action may take this widget away.
    if (Cog* owner = GetOwner())
    {
        ParamBuffer sound;
        sound.PushStdString("Click");
        owner->CallFunction("PlaySound2D", sound);
    }
    if (!action.mScript.empty() && gCoreEngine)
    {
        // The script gets its own copy: the message below consumes the buffer.
        ParamBuffer copy = params.Copy();
        gCoreEngine->GetScriptManager().CallFunction(action.mScript, copy);
    }
    HandleCommand(action.mMessage, params);
}

void Widget::AddChild(std::unique_ptr<Widget> child)
{
    if (!child)
        return;
    child->mParent = this;
    mChildren.push_back(std::move(child));
}

void Widget::DeleteChildren()
{
    std::vector<std::unique_ptr<Widget>> children;
    children.swap(mChildren);
    for (auto& child : children)
    {
        child->mParent = nullptr;
        WidgetLayer::DeleteLater(std::move(child));
    }
}

bool Widget::IsInSubtree(const Widget* other) const
{
    for (const Widget* w = other; w; w = w->mParent)
        if (w == this)
            return true;
    return false;
}
