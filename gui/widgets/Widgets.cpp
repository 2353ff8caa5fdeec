#include "gui/widgets/Widgets.h"

#include <algorithm>
#include <cmath>

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/serial/Serializer.h"
#include "gui/WidgetFile.h"
#include "gui/WidgetLayer.h"
#include "gui/widgets/ModelView.h"

namespace {

// The screen's edges in GUI units.
constexpr float kGuiLeft = -1.0f;
constexpr float kGuiRight = 1.0f;
constexpr float kGuiTop = GuiUnits::kTop;
constexpr float kGuiBottom = -GuiUnits::kTop;

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

} // namespace

// Window

void Window::Serialize(Serializer& s)
{
    Widget::Serialize(s);
    SerializeImage(s);
}

void Window::Render(GuiSystem& gui)
{
    DrawImage(gui, mColor);
    RenderChildren(gui);
}

// TextBox

void TextBox::Serialize(Serializer& s)
{
    Widget::Serialize(s);
    SerializeImage(s);
    s.SerializeString("Text", mText);
    s.SerializeInt("Font", mFont);
    SerializeColorField(s, "TextColor", mTextColor);
    s.SerializeInt("EffectMode", mEffectMode);
    s.SerializeVector("EffectValues", mEffectValues);
}

void TextBox::Update(float dt)
{
    mEffectTime += dt;
    Widget::Update(dt);
}

void TextBox::DrawLabel(GuiSystem& gui, int32_t effectMode) const
{
    GuiPainter& painter = gui.Painter();
    if (mText.empty())
        return;
    painter.SetColor(mTextColor.r, mTextColor.g, mTextColor.b, mTextColor.a);
    painter.SetFont(mFont);
    painter.BeginText();
    if (effectMode != 0)
        painter.SetTextEffect(effectMode, mEffectTime, mEffectValues);
    painter.DrawTextInRect(mText.c_str(), ScreenRect(gui), mAlignment);
    painter.EndText();
}

void TextBox::Render(GuiSystem& gui)
{
    if (mColor.a > 0.0f)
        DrawImage(gui, mColor);
    DrawLabel(gui, mEffectMode);
    RenderChildren(gui);
}

// PopupText

void PopupText::Serialize(Serializer& s)
{
    TextBox::Serialize(s);
    s.SerializeRealField("Scale", mScale);
}

void PopupText::Pop(const std::string& text, const Color& color, float fadeIn, float hold, float fadeOut)
{
    const auto time = [](float t) { return std::isfinite(t) && t > 0.0f ? t : 0.0f; };
    mText = text;
    mTextColor = color;
    mFadeIn = time(fadeIn);
    mHold = time(hold);
    mFadeOut = time(fadeOut);
    mAge = 0.0f;
}

float PopupText::Alpha() const
{
    if (mAge < 0.0f || mText.empty())
        return 0.0f;
    if (mAge < mFadeIn)
        return mAge / mFadeIn;
    const float out = mAge - mFadeIn - mHold;
    if (out <= 0.0f)
        return 1.0f;
    return out < mFadeOut ? 1.0f - out / mFadeOut : 0.0f;
}

void PopupText::Update(float dt)
{
    if (mAge >= 0.0f && std::isfinite(dt) && dt > 0.0f)
        mAge += dt;
    TextBox::Update(dt);
}

void PopupText::Render(GuiSystem& gui)
{
    GuiPainter& painter = gui.Painter();
    const float alpha = Alpha();
    if (alpha > 0.0f)
    {
        if (mColor.a > 0.0f)
            DrawImage(gui, Color(mColor.r, mColor.g, mColor.b, mColor.a * alpha));
        painter.SetColor(mTextColor.r, mTextColor.g, mTextColor.b, mTextColor.a * alpha);
        painter.SetFont(mFont);
        painter.BeginText();
        painter.DrawTextInRect(mText.c_str(), ScreenRect(gui), mAlignment, mScale);
        painter.EndText();
    }
    RenderChildren(gui);
}

// Button

void Button::Serialize(Serializer& s)
{
    TextBox::Serialize(s);
    SerializeColorField(s, "HoverColor", mHoverColor);
    mAction.Serialize(s);
}

void Button::Render(GuiSystem& gui)
{
    DrawImage(gui, mHover ? mHoverColor : mColor);
    DrawLabel(gui, mHover ? 1 : mEffectMode);
    RenderChildren(gui);
}

void Button::OnClick()
{
    ParamBuffer params;
    Fire(mAction, params);
}

// CheckBox

void CheckBox::Serialize(Serializer& s)
{
    Widget::Serialize(s);
    SerializeImage(s);
    SerializeColorField(s, "CheckColor", mCheckColor);
    s.SerializeBoolField("Checked", mChecked);
    mAction.Serialize(s);
}

void CheckBox::Render(GuiSystem& gui)
{
    DrawImage(gui, mColor);
    if (mChecked)
    {
        GuiBox inner = mBox;
        inner.mX += mBox.mWidth * 0.25f;
        inner.mY -= mBox.mHeight * 0.25f;
        inner.mWidth *= 0.5f;
        inner.mHeight *= 0.5f;
        DrawImagePart(gui, inner, mCheckColor);
    }
    RenderChildren(gui);
}

void CheckBox::OnClick()
{
    mChecked = !mChecked;
    ParamBuffer params;
    params.PushBool(mChecked);
    Fire(mAction, params);
}

// ProgressBar and HealthBar

void ProgressBar::Serialize(Serializer& s)
{
    Widget::Serialize(s);
    SerializeImage(s);
    SerializeColorField(s, "FillColor", mFillColor);
    s.SerializeRealField("Value", mValue);
    mValue = Clamp01(mValue);
}

void ProgressBar::SetGuiFloat(float value) { mValue = std::isfinite(value) ? Clamp01(value) : 0.0f; }

void ProgressBar::Render(GuiSystem& gui)
{
    DrawImage(gui, mColor);
    if (mValue > 0.0f)
    {
        GuiBox fill = mBox;
        fill.mWidth *= mValue;
        DrawImagePart(gui, fill, FillColor());
    }
    RenderChildren(gui);
}

void HealthBar::Serialize(Serializer& s)
{
    ProgressBar::Serialize(s);
    SerializeColorField(s, "EmptyColor", mEmptyColor);
}

Color HealthBar::FillColor() const
{
    const float t = mValue;
    return Color(mEmptyColor.r + (mFillColor.r - mEmptyColor.r) * t, mEmptyColor.g + (mFillColor.g - mEmptyColor.g) * t,
                 mEmptyColor.b + (mFillColor.b - mEmptyColor.b) * t,
                 mEmptyColor.a + (mFillColor.a - mEmptyColor.a) * t);
}

// Slider

void Slider::Serialize(Serializer& s)
{
    ProgressBar::Serialize(s);
    mAction.Serialize(s);
}

void Slider::Render(GuiSystem& gui)
{
    ProgressBar::Render(gui);
    GuiBox knob = mBox;
    knob.mWidth = mBox.mHeight * 0.5f;
    knob.mX = mBox.mX + mBox.mWidth * mValue - knob.mWidth * 0.5f;
    DrawImagePart(gui, knob, Color(1.0f, 1.0f, 1.0f, 1.0f));
}

void Slider::Track()
{
    float x = 0.0f, y = 0.0f;
    WidgetLayer::MousePosition(x, y);
    if (mBox.mWidth > 0.0f)
        SetGuiFloat((x - mBox.mX) / mBox.mWidth);
}

void Slider::OnMouseDown()
{
    mDragging = true;
    Track();
}

void Slider::OnMouseMove()
{
    if (mDragging)
        Track();
}

void Slider::OnMouseUp()
{
    if (!mDragging)
        return;
    mDragging = false;
    ParamBuffer params;
    params.PushFloat(mValue);
    Fire(mAction, params);
}

// ComboBox

void ComboBox::Serialize(Serializer& s)
{
    TextBox::Serialize(s);
    SerializeColorField(s, "ListColor", mListColor);
    mAction.Serialize(s);
}

int32_t ComboBox::EntryAt(float x, float y) const
{
    if (!mOpen || mBox.mHeight <= 0.0f || x < mBox.mX || x >= mBox.mX + mBox.mWidth)
        return -1;
    const float below = (mBox.mY - mBox.mHeight) - y;
    if (below < 0.0f)
        return -1;
    const auto row = int32_t(below / mBox.mHeight);
    return row < int32_t(mEntries.size()) ? row : -1;
}

Widget* ComboBox::HitTestName(float x, float y)
{
    if (!mActive)
        return nullptr;
    if (EntryAt(x, y) >= 0)
        return this;
    return Widget::HitTestName(x, y);
}

void ComboBox::OnClick()
{
    float x = 0.0f, y = 0.0f;
    WidgetLayer::MousePosition(x, y);
    const int32_t entry = EntryAt(x, y);
    if (entry < 0)
    {
        mOpen = !mOpen;
        return;
    }
    mOpen = false;
    mSelected = entry;
    mText = mEntries[size_t(entry)];
    ParamBuffer params;
    params.PushStdString(mText);
    Fire(mAction, params);
}

bool ComboBox::Message(const std::string& message, const std::string& argument)
{
    if (message == "ClearData")
    {
        mEntries.clear();
        mSelected = -1;
        mText.clear();
        mOpen = false;
        return true;
    }
    if (message == "AddData")
    {
        mEntries.push_back(argument);
        return true;
    }
    return TextBox::Message(message, argument);
}

std::string ComboBox::QueryText() { return mText; }

void ComboBox::Render(GuiSystem& gui)
{
    GuiPainter& painter = gui.Painter();
    TextBox::Render(gui);
    if (!mOpen)
        return;
    GuiBox row = mBox;
    for (const std::string& entry : mEntries)
    {
        row.mY -= mBox.mHeight;
        DrawImagePart(gui, row, mListColor);
        painter.SetColor(mTextColor.r, mTextColor.g, mTextColor.b, mTextColor.a);
        painter.SetFont(mFont);
        painter.BeginText();
        painter.DrawTextInRect(entry.c_str(), gui.Units().BoxToPixels(row), mAlignment);
        painter.EndText();
    }
}

// ImageBox

void ImageBox::NamedTexture::Serialize(Serializer& s)
{
    s.SerializeString("Name", mName);
    s.SerializeDataFile("Texture", mFile);
}

void ImageBox::Serialize(Serializer& s)
{
    Widget::Serialize(s);
    SerializeImage(s);
    s.SerializeInt("IconColumns", mColumns);
    s.SerializeInt("IconRows", mRows);
    s.SerializeInt("Index", mIndex);
    SerializeElementList(s, "Animations", mAnimations, "NamedTexture");
    if (!s.IsSaving() && mColumns > 0 && mRows > 0)
        SetIndex(mIndex);
}

void ImageBox::SetIndex(int32_t index)
{
    mIndex = index;
    if (mColumns <= 0 || mRows <= 0 || index < 0 || index >= mColumns * mRows)
        return;
    const auto cellW = int32_t(mImage.GetWidth()) / mColumns, cellH = int32_t(mImage.GetHeight()) / mRows;
    mTexRect.mLeft = (index % mColumns) * cellW;
    mTexRect.mTop = (index / mColumns) * cellH;
    mTexRect.mRight = mTexRect.mLeft + cellW;
    mTexRect.mBottom = mTexRect.mTop + cellH;
}

void ImageBox::SetFrameAnimation(const std::string& name)
{
    for (const NamedTexture& named : mAnimations)
        if (named.mName == name)
        {
            mImage.SetFile(named.mFile);
            return;
        }
}

bool ImageBox::Message(const std::string& message, const std::string& argument)
{
    if (message == "SetImage")
    {
        mImage.SetFile(argument);
        mTexRect = Rect{};
        if (mColumns > 0 && mRows > 0)
            SetIndex(mIndex);
        return true;
    }
    if (message == "SetIndex")
    {
        char* end = nullptr;
        const long index = std::strtol(argument.c_str(), &end, 10);
        if (end == argument.c_str() || index < 0 || index > 1 << 20)
            return false;
        SetIndex(int32_t(index));
        return true;
    }
    if (message == "setanimation")
    {
        for (const NamedTexture& named : mAnimations)
            if (named.mName == argument)
            {
                SetFrameAnimation(argument);
                return true;
            }
        return false;
    }
    return Widget::Message(message, argument);
}

void ImageBox::Render(GuiSystem& gui)
{
    DrawImage(gui, mColor);
    RenderChildren(gui);
}

// MapImageBox

MapImageBox::MapImageBox() { mIcons.reserve(kReservedIcons); }

void MapImageBox::Serialize(Serializer& s)
{
    Widget::Serialize(s);
    SerializeImage(s);
    SerializeTexture(s, "IconTexture", mIconTexture);
    s.SerializeInt("IconColumns", mIconColumns);
    s.SerializeRealField("IconSize", mIconSize);
    mAction.Serialize(s);
}

void MapImageBox::AddIcon(int32_t kind, float x, float z) { mIcons.push_back(Icon{kind, x, z}); }

float MapImageBox::Scale() const
{
    const float spread = std::fabs(std::cos(mAngle)) + std::fabs(std::sin(mAngle));
    return spread > 0.0f ? 1.0f / spread : 1.0f;
}

// Clockwise by the angle about the map's middle, so that the heading (-sin, cos) of the angle
// points up.
void MapImageBox::MapToView(float mapX, float mapZ, float& vx, float& vy) const
{
    const float dx = mapX - 0.5f, dz = mapZ - 0.5f;
    const float c = std::cos(mAngle), s = std::sin(mAngle), k = Scale();
    vx = (dx * c + dz * s) * k;
    vy = (dz * c - dx * s) * k;
}

void MapImageBox::ViewToMap(float vx, float vy, float& mapX, float& mapZ) const
{
    const float c = std::cos(mAngle), s = std::sin(mAngle), k = Scale();
    mapX = 0.5f + (vx * c - vy * s) / k;
    mapZ = 0.5f + (vx * s + vy * c) / k;
}

void MapImageBox::ViewToGui(float vx, float vy, float& x, float& y) const
{
    x = mBox.mX + mBox.mWidth * (0.5f + vx);
    y = mBox.mY - mBox.mHeight * (0.5f - vy);
}

void MapImageBox::MapToGui(float mapX, float mapZ, float& x, float& y) const
{
    float vx = 0.0f, vy = 0.0f;
    MapToView(mapX, mapZ, vx, vy);
    ViewToGui(vx, vy, x, y);
}

void MapImageBox::GuiToMap(float x, float y, float& mapX, float& mapZ) const
{
    const float vx = mBox.mWidth > 0.0f ? (x - mBox.mX) / mBox.mWidth - 0.5f : 0.0f;
    const float vy = mBox.mHeight > 0.0f ? 0.5f - (mBox.mY - y) / mBox.mHeight : 0.0f;
    ViewToMap(vx, vy, mapX, mapZ);
}

namespace {

struct MapPoint
{
    float x;
    float z;
};

// A convex polygon in map coordinates. A cut adds at most one corner to a convex polygon; the
// room beyond covers rounding on nearly parallel edges.
struct MapPolygon
{
    static constexpr int kMax = 16;
    MapPoint p[kMax];
    int n = 0;

    void Add(const MapPoint& q)
    {
        if (n < kMax)
            p[n++] = q;
    }
};

// The part of the polygon where sign x (coordinate - bound) >= 0; axis 0 is x, 1 is z.
MapPolygon Cut(const MapPolygon& in, int axis, float bound, float sign)
{
    MapPolygon out;
    auto side = [&](const MapPoint& q) { return sign * ((axis == 0 ? q.x : q.z) - bound); };
    for (int i = 0; i < in.n; ++i)
    {
        const MapPoint& a = in.p[i];
        const MapPoint& b = in.p[(i + 1) % in.n];
        const float sa = side(a), sb = side(b);
        if (sa >= 0.0f)
            out.Add(a);
        if ((sa >= 0.0f) != (sb >= 0.0f))
        {
            const float t = sa / (sa - sb);
            out.Add({a.x + (b.x - a.x) * t, a.z + (b.z - a.z) * t});
        }
    }
    return out;
}

float Area(const MapPolygon& poly)
{
    float twice = 0.0f;
    for (int i = 0; i < poly.n; ++i)
    {
        const MapPoint& a = poly.p[i];
        const MapPoint& b = poly.p[(i + 1) % poly.n];
        twice += a.x * b.z - b.x * a.z;
    }
    return std::fabs(twice) * 0.5f;
}

} // namespace

void MapImageBox::DrawPicture(GuiSystem& gui) const
{
    GuiPainter& painter = gui.Painter();
    // The box's corners, in order around it, taken into the map.
    const float view[4][2] = {{-0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, -0.5f}, {-0.5f, -0.5f}};
    MapPolygon window;
    for (const auto& v : view)
    {
        MapPoint q{};
        ViewToMap(v[0], v[1], q.x, q.z);
        window.Add(q);
    }
    // Texture coordinates of map points through the texture rectangle.
    Rect texels = mTexRect;
    const float texW = float(mImage.GetWidth()), texH = float(mImage.GetHeight());
    if (texels.mRight == texels.mLeft || texels.mBottom == texels.mTop)
        texels = Rect{0, 0, int32_t(texW), int32_t(texH)};
    const float u0 = float(texels.mLeft) / texW, du = float(texels.mRight - texels.mLeft) / texW;
    const float v0 = float(texels.mTop) / texH, dv = float(texels.mBottom - texels.mTop) / texH;
    // Convex: a fan of quads from the first corner, a last odd triangle as a folded quad.
    auto draw = [&](const MapPolygon& poly) {
        float xy[MapPolygon::kMax * 2];
        float uv[MapPolygon::kMax * 2];
        for (int i = 0; i < poly.n; ++i)
        {
            float vx = 0.0f, vy = 0.0f;
            MapToView(poly.p[i].x, poly.p[i].z, vx, vy);
            ViewToGui(vx, vy, xy[i * 2], xy[i * 2 + 1]);
            uv[i * 2] = u0 + poly.p[i].x * du;
            uv[i * 2 + 1] = v0 + (1.0f - poly.p[i].z) * dv;
        }
        for (int i = 1; i + 1 < poly.n; i += 2)
        {
            const int corner[4] = {0, i, std::min(i + 2, poly.n - 1), i + 1};
            float quadXy[8], quadUv[8];
            for (int k = 0; k < 4; ++k)
            {
                quadXy[k * 2] = xy[corner[k] * 2];
                quadXy[k * 2 + 1] = xy[corner[k] * 2 + 1];
                quadUv[k * 2] = uv[corner[k] * 2];
                quadUv[k * 2 + 1] = uv[corner[k] * 2 + 1];
            }
            painter.DrawMappedQuad(quadXy, quadUv);
        }
    };
    // Only the map itself is drawn: what the turned window holds beyond its edges stays clear,
    // so no dark corners stand over the field behind.
    const struct
    {
        int axis;
        float bound, sign;
    } edges[4] = {{0, 0.0f, 1.0f}, {0, 1.0f, -1.0f}, {1, 0.0f, 1.0f}, {1, 1.0f, -1.0f}};
    for (const auto& e : edges)
        window = Cut(window, e.axis, e.bound, e.sign);
    if (Area(window) <= 1e-6f)
        return;
    painter.SetColor(mColor.r, mColor.g, mColor.b, mColor.a);
    painter.SetTexture(mImage);
    draw(window);
}

void MapImageBox::DrawIcons(GuiSystem& gui) const
{
    GuiPainter& painter = gui.Painter();
    painter.SetColor(1.0f, 1.0f, 1.0f, 1.0f);
    painter.SetTexture(mIconTexture);
    const int32_t columns = mIconColumns > 0 ? mIconColumns : 1;
    const auto cell = int32_t(mIconTexture.GetWidth()) / columns;
    GuiBox icon;
    icon.mWidth = mIconSize;
    icon.mHeight = mIconSize;
    // The box does not clip: an icon near its edge (the camera's, past the field's edge) is pushed
    // in to touch the edge, which still shows the side it lies on.
    const float boxW = std::max(mBox.mWidth, 0.0f), boxH = std::max(mBox.mHeight, 0.0f);
    const float halfX = std::clamp(mIconSize * 0.5f, 0.0f, boxW * 0.5f);
    const float halfY = std::clamp(mIconSize * 0.5f, 0.0f, boxH * 0.5f);
    for (const Icon& i : mIcons)
    {
        float x = 0.0f, y = 0.0f;
        MapToGui(i.mX, i.mZ, x, y);
        x = std::clamp(x, mBox.mX + halfX, mBox.mX + boxW - halfX);
        y = std::clamp(y, mBox.mY - boxH + halfY, mBox.mY - halfY);
        icon.mX = x - mIconSize * 0.5f;
        icon.mY = y + mIconSize * 0.5f;
        painter.SetWidgetTransform(icon);
        const int32_t kind = i.mKind < 0 ? 0 : i.mKind;
        Rect texels{(kind % columns) * cell, 0, (kind % columns) * cell + cell, int32_t(mIconTexture.GetHeight())};
        painter.DrawQuad(texels);
    }
}

void MapImageBox::Render(GuiSystem& gui)
{
    DrawPicture(gui);
    DrawIcons(gui);
    RenderChildren(gui);
}

void MapImageBox::OnClick()
{
    float x = 0.0f, y = 0.0f, mapX = 0.0f, mapZ = 0.0f;
    WidgetLayer::MousePosition(x, y);
    GuiToMap(x, y, mapX, mapZ);
    ParamBuffer params;
    params.PushVector(Vector3(mapX, 1.0f - mapZ, 0.0f));
    Fire(mAction, params);
}

// ToolBar

void ToolBar::Serialize(Serializer& s)
{
    Widget::Serialize(s);
    s.SerializeRealField("Spacing", mSpacing);
}

void ToolBar::AddItem(std::unique_ptr<Widget> item)
{
    if (!item)
        return;
    item->SetOwner(GetOwnerId());
    AddChild(std::move(item));
    Layout();
}

void ToolBar::SetGuiPosition(float x, float y)
{
    // A bar put where the pointer is keeps its whole row of items on the screen.
    float width = 0.0f, height = 0.0f;
    for (const auto& item : Children())
    {
        width += (width > 0.0f ? mSpacing : 0.0f) + item->GetBox().mWidth;
        height = std::max(height, item->GetBox().mHeight);
    }
    if (width > 0.0f)
    {
        x = std::clamp(x, kGuiLeft, std::max(kGuiLeft, kGuiRight - width));
        y = std::clamp(y, std::min(kGuiTop, kGuiBottom + height), kGuiTop);
    }
    mBox.mX = x;
    mBox.mY = y;
    Layout();
}

void ToolBar::Layout()
{
    float x = mBox.mX;
    for (auto& item : Children())
    {
        item->SetGuiPosition(x, mBox.mY);
        x += item->GetBox().mWidth + mSpacing;
    }
}

void RegisterGuiWidgetTypes()
{
    RegisterWidgetType("Widget", [] { return std::make_unique<Widget>(); });
    RegisterWidgetType("Window", [] { return std::make_unique<Window>(); });
    RegisterWidgetType("TextBox", [] { return std::make_unique<TextBox>(); });
    RegisterWidgetType("PopupText", [] { return std::make_unique<PopupText>(); });
    RegisterWidgetType("Button", [] { return std::make_unique<Button>(); });
    RegisterWidgetType("CheckBox", [] { return std::make_unique<CheckBox>(); });
    RegisterWidgetType("ProgressBar", [] { return std::make_unique<ProgressBar>(); });
    RegisterWidgetType("HealthBar", [] { return std::make_unique<HealthBar>(); });
    RegisterWidgetType("Slider", [] { return std::make_unique<Slider>(); });
    RegisterWidgetType("ComboBox", [] { return std::make_unique<ComboBox>(); });
    RegisterWidgetType("ImageBox", [] { return std::make_unique<ImageBox>(); });
    RegisterWidgetType("MapImageBox", [] { return std::make_unique<MapImageBox>(); });
    RegisterWidgetType("ToolBar", [] { return std::make_unique<ToolBar>(); });
    RegisterWidgetType("ModelView", [] { return std::make_unique<ModelView>(); });
}
