#include "graphics/guisystem/GuiSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/math/Color.h"
#include "LOOM/serial/XMLReader.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/commands/GraphicsCommands.h"
#include "graphics/font/BitmapFont.h"
#include "graphics/font/FontList.h"
#include "input/IOLoom.h"

namespace {

GuiWidgetLayer::Maker sLayerMaker = nullptr;
// The system the script functions reach: the one made last.
GuiSystem* sCommandTarget = nullptr;

void ScriptActivateBackground(int32_t index)
{
    if (sCommandTarget)
        sCommandTarget->ActivateBackground(index);
}

void ScriptOnlyShowMouseOnGui(bool only)
{
    if (sCommandTarget)
        sCommandTarget->OnlyShowMouseOnGui(only);
}

} // namespace

void GuiSystem::SetLayerMaker(GuiWidgetLayer::Maker maker) { sLayerMaker = maker; }

std::unique_ptr<GuiSeam> GuiSystem::Make() { return std::make_unique<GuiSystem>(); }

GuiSystem::GuiSystem()
{
    if (sLayerMaker)
        mLayer = sLayerMaker();
}

GuiSystem::~GuiSystem()
{
    Shutdown();
    // The layer's widgets may still draw through this object while they go.
    mLayer.reset();
    if (sCommandTarget == this)
    {
        sCommandTarget = nullptr;
        Console::Instance().RemoveCommand("ActivateBackground");
        Console::Instance().RemoveCommand("OnlyShowMouseOnGui");
    }
}

void GuiSystem::RegisterCommands()
{
    sCommandTarget = this;
    Console& console = Console::Instance();
    console.AddCommand("ActivateBackground", MakeFunctionCommand(&ScriptActivateBackground));
    console.AddCommand("OnlyShowMouseOnGui", MakeFunctionCommand(&ScriptOnlyShowMouseOnGui));
}

void GuiSystem::SetSize(int width, int height)
{
    mWidth = width > 0 ? width : 1;
    mHeight = height > 0 ? height : 1;
}

void GuiSystem::Init(GraphicsDevice* device, int width, int height)
{
    mDevice = device;
    SetSize(width, height);
    mBatcher = device ? std::make_unique<GuiQuads>(*device) : nullptr;
    if (mConfigFile.empty())
        mConfigFile = Console::Instance().GetConfigFolder() + "GuiConfig.xml";
    ReadConfig();
    RegisterCommands();
}

namespace {

// The text of the first element whose "name" is that name, or empty. The configuration is
// walked with the tokenizer so that a section it lacks keeps its default quietly.
std::string NamedText(const std::string& path, const std::string& name)
{
    XMLReader reader;
    std::string_view raw;
    std::string text;
    if (reader.Open(path) && reader.FindElement(name) && !reader.IsEmpty() && reader.ReadText(raw))
        XMLReader::DecodeEntities(raw, text);
    return text;
}

// The "file" items of the named list.
std::vector<std::string> NamedFiles(const std::string& path, const std::string& name)
{
    std::vector<std::string> files;
    XMLReader reader;
    if (!reader.Open(path) || !reader.FindElement(name) || reader.IsEmpty())
        return files;
    std::string_view raw;
    while (reader.ParseElement() && files.size() < 256)
    {
        if (reader.Kind() == XMLReader::KindEnd && !reader.IsSelfClosing() && reader.ElementName() == "list")
            break;
        if (reader.Kind() == XMLReader::KindStart && reader.ElementName() == "file" && !reader.IsEmpty() &&
            reader.ReadText(raw))
        {
            files.emplace_back();
            XMLReader::DecodeEntities(raw, files.back());
        }
    }
    return files;
}

} // namespace

void GuiSystem::ReadConfig()
{
    mBackgrounds.clear();
    mPointer.Release();
    mPointer.File() = "Textures/Pointer.dds";
    mPointerSize = 24.0f;
    std::vector<std::string> backgrounds;
    const std::string path = DataFilePath(mConfigFile);
    if (FileExists(path))
    {
        backgrounds = NamedFiles(mConfigFile, "Backgrounds");
        const std::string pointer = NamedText(mConfigFile, "Pointer");
        if (!pointer.empty())
            mPointer.File() = pointer;
        const std::string size = NamedText(mConfigFile, "PointerSize");
        char* end = nullptr;
        const float value = size.empty() ? 0.0f : std::strtof(size.c_str(), &end);
        if (end && end != size.c_str() && value > 0.0f && value < 1024.0f)
            mPointerSize = value;
    }
    // The texture store treats a missing file as a failure that stops the game clock: files
    // are checked first. A missing pointer (the default one included) draws none.
    for (const std::string& file : backgrounds)
    {
        mBackgrounds.emplace_back();
        if (FileExists(DataFilePath(file)))
            mBackgrounds.back().SetFile(file);
        else
            Console::Instance().Log("GuiSystem: no background " + file, LogError);
    }
    if (FileExists(DataFilePath(mPointer.GetFile())))
        mPointer.Reload();
    if (mBackground >= int32_t(mBackgrounds.size()))
        mBackground = -1;
}

size_t GuiSystem::LoadFonts(const std::string& configFile)
{
    mOwnFonts = std::make_unique<FontList>();
    return mOwnFonts->Load(configFile, mDevice);
}

FontList* GuiSystem::GetFonts() const
{
    if (mOwnFonts)
        return mOwnFonts.get();
    GraphicsLoom* loom = GraphicsLoom::Instance();
    GraphicsCommands* commands = loom ? loom->GetCommands() : nullptr;
    return commands ? &commands->Fonts() : nullptr;
}

BitmapFont* GuiSystem::GetFont(int32_t index) const
{
    FontList* fonts = GetFonts();
    return fonts && index >= 0 ? fonts->Get(size_t(index)) : nullptr;
}

void GuiSystem::Update()
{
    IOLoom* io = IOLoom::Instance();
    if (io)
    {
        mMouseX = float(io->GetMouseX());
        mMouseY = float(io->GetMouseY());
        // The mouse counts as present once it has moved or pressed a button: a pointer is
        // not drawn in the corner of a screen no mouse has touched.
        if (!mHasMouse)
            mHasMouse = mMouseX != 0.0f || mMouseY != 0.0f || io->MousePressed(0) || io->MousePressed(1);
    }
    else
    {
        mHasMouse = false;
    }
    if (!mVisible)
    {
        SetMouseOver(false, std::string());
        return;
    }
    if (mLayer)
        mLayer->Update(*this);
}

void GuiSystem::SetMouseOver(bool over, const std::string& name)
{
    mMouseOver = over;
    if (mMouseOverName != name)
        mMouseOverName = name;
}

void GuiSystem::ActivateBackground(int32_t index)
{
    mBackground = index >= 0 && size_t(index) < mBackgrounds.size() ? index : -1;
}

void GuiSystem::Render()
{
    if (!mVisible || !mBatcher)
        return;
    BeginDraw();
    if (mBackground >= 0)
    {
        SetColorArgb(0xFFFFFFFF);
        SetTexture(mBackgrounds[size_t(mBackground)]);
        DrawFullScreenQuad();
    }
    if (mLayer)
    {
        mLayer->Render(*this);
        const std::string tip = mMouseOver ? mLayer->GetDescription() : std::string();
        if (!tip.empty() && GetFont(0))
        {
            SetFont(0);
            SetColorArgb(0xFFFFFFE0);
            BeginText();
            DrawText(mMouseX + mPointerSize, mMouseY + mPointerSize, tip.c_str());
            EndText();
        }
    }
    if (mHasMouse && mPointer.Get() && (!mOnlyOnGui || mMouseOver))
    {
        SetColorArgb(0xFFFFFFFF);
        SetTexture(mPointer);
        DrawPixelQuad(mMouseX, mMouseY, mMouseX + mPointerSize, mMouseY + mPointerSize);
    }
    EndDraw();
}

void GuiSystem::Shutdown()
{
    EndDraw();
    mBackgrounds.clear();
    mPointer.Release();
    mBatcher.reset();
    mOwnFonts.reset();
    mDevice = nullptr;
}

void GuiSystem::OnDeviceLost()
{
    EndDraw();
    if (mBatcher)
        mBatcher->OnDeviceLost();
    if (mOwnFonts)
        mOwnFonts->InvalidateDeviceObjects();
}

void GuiSystem::OnDeviceReset(int width, int height)
{
    SetSize(width, height);
    if (mBatcher)
        mBatcher->OnDeviceReset();
    if (mOwnFonts)
        mOwnFonts->RestoreDeviceObjects();
}

void GuiSystem::ScreenToClip(float x, float y, float& clipX, float& clipY) const
{
    clipX = 2.0f * x / float(mWidth) - 1.0f;
    clipY = 1.0f - 2.0f * y / float(mHeight);
}

Rect GuiSystem::BoxToPixels(const GuiBox& box) const
{
    Rect r;
    r.mLeft = int32_t(std::lround(GuiToPixelX(box.mX)));
    r.mTop = int32_t(std::lround(GuiToPixelY(box.mY)));
    r.mRight = int32_t(std::lround(GuiToPixelX(box.mX + box.mWidth)));
    r.mBottom = int32_t(std::lround(GuiToPixelY(box.mY - box.mHeight)));
    return r;
}

void GuiSystem::BeginDraw()
{
    if (!mBatcher || mDrawing)
        return;
    mDrawing = true;
    mDraws = 0;
    mTexture = nullptr;
    mBatcher->ResetDrawCount();
    mBatcher->BeginFrame();
    mBatcher->SetTexture(nullptr);
    mSavedStates = mDevice->Capture();
    RenderStates& s = mDevice->States();
    s.mDepthEnable = false;
    s.mDepthWrite = false;
    s.mCull = CullMode::None;
    s.mBlendEnable = true;
    s.mSrcBlend = BlendFactor::SrcAlpha;
    s.mDestBlend = BlendFactor::InvSrcAlpha;
    s.mBlendOp = BlendOp::Add;
    s.mFill = FillMode::Solid;
    mQuadStates = mDevice->Capture();
    // Widgets are drawn near their texture's size: one level, bilinear, clamped at the edges.
    SamplerState sampler;
    sampler.mMipEnable = false;
    sampler.mU = sampler.mV = TextureAddress::Clamp;
    mDevice->SetSamplerState(0, sampler);
}

void GuiSystem::EndDraw()
{
    if (!mDrawing)
        return;
    mTextOpen = false;
    FlushAll();
    mDraws += mBatcher->GetDrawCount();
    mDevice->Apply(mSavedStates);
    mDevice->SetTexture(0, nullptr);
    mDrawing = false;
}

void GuiSystem::RestoreRenderStates()
{
    if (mDrawing)
        mDevice->Apply(mQuadStates);
}

void GuiSystem::FlushAll()
{
    if (!mDrawing)
        return;
    mBatcher->Flush();
    for (BitmapFont* font : mOpenFonts)
    {
        if (font->GetBatchGlyphs() > 0)
            ++mDraws;
        font->ApplyStates(false);
        font->Flush();
    }
    if (!mOpenFonts.empty())
        mDevice->Apply(mQuadStates);
    mOpenFonts.clear();
    mTextPending = false;
    // Text still open goes on in a new batch.
    if (mTextOpen && mTextFont)
    {
        mTextFont->Begin();
        mDevice->Apply(mQuadStates);
        mOpenFonts.push_back(mTextFont);
    }
}

void GuiSystem::BeforeQuad(float left, float top, float right, float bottom)
{
    if (mTextPending && left < mTextRight && right > mTextLeft && top < mTextBottom && bottom > mTextTop)
        FlushAll();
}

void GuiSystem::AddTextBounds(const Rect& rect)
{
    const float left = float(std::min(rect.mLeft, rect.mRight)), right = float(std::max(rect.mLeft, rect.mRight));
    const float top = float(std::min(rect.mTop, rect.mBottom)), bottom = float(std::max(rect.mTop, rect.mBottom));
    if (!mTextPending)
    {
        mTextLeft = left;
        mTextTop = top;
        mTextRight = right;
        mTextBottom = bottom;
        mTextPending = true;
        return;
    }
    mTextLeft = std::min(mTextLeft, left);
    mTextTop = std::min(mTextTop, top);
    mTextRight = std::max(mTextRight, right);
    mTextBottom = std::max(mTextBottom, bottom);
}

void GuiSystem::SetColor(float r, float g, float b, float a) { SetColorArgb(Color(r, g, b, a).ToARGB()); }

void GuiSystem::SetColorArgb(uint32_t argb)
{
    mColor = argb;
    if (mBatcher)
        mBatcher->SetColor(argb);
}

void GuiSystem::SetTexture(const TextureRef& texture)
{
    SetTexture(texture.GetTexture(), texture.GetWidth(), texture.GetHeight());
}

void GuiSystem::SetTexture(GpuTexture* texture, uint32_t width, uint32_t height)
{
    mTexture = texture;
    mTextureWidth = width ? width : 1;
    mTextureHeight = height ? height : 1;
    if (mDrawing)
        mBatcher->SetTexture(texture);
}

void GuiSystem::AddQuad(float left, float top, float right, float bottom, float u0, float v0, float u1, float v1)
{
    BeforeQuad(left, top, right, bottom);
    mBatcher->Add(left, top, right, bottom, u0, v0, u1, v1);
}

void GuiSystem::DrawQuad(const Rect& texels)
{
    if (!mDrawing)
        return;
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
    if (texels.mRight != texels.mLeft && texels.mBottom != texels.mTop)
    {
        u0 = float(texels.mLeft) / float(mTextureWidth);
        u1 = float(texels.mRight) / float(mTextureWidth);
        v0 = float(texels.mTop) / float(mTextureHeight);
        v1 = float(texels.mBottom) / float(mTextureHeight);
    }
    const float left = GuiToPixelX(mBox.mX), right = GuiToPixelX(mBox.mX + mBox.mWidth);
    const float top = GuiToPixelY(mBox.mY), bottom = GuiToPixelY(mBox.mY - mBox.mHeight);
    if (mBox.mRotation == 0.0f)
        return AddQuad(left, top, right, bottom, u0, v0, u1, v1);
    // Turned about the centre, in pixels so the quad keeps its shape on a wide screen.
    const float cx = (left + right) * 0.5f, cy = (top + bottom) * 0.5f;
    const float hx = (right - left) * 0.5f, hy = (bottom - top) * 0.5f;
    const float c = std::cos(mBox.mRotation), s = std::sin(mBox.mRotation);
    const float corners[4][2] = {{-hx, -hy}, {hx, -hy}, {-hx, hy}, {hx, hy}};
    float xy[8];
    for (int i = 0; i < 4; ++i)
    {
        xy[i * 2] = cx + corners[i][0] * c - corners[i][1] * s;
        xy[i * 2 + 1] = cy + corners[i][0] * s + corners[i][1] * c;
    }
    const float uv[8] = {u0, v0, u1, v0, u0, v1, u1, v1};
    AddCornerQuad(xy, uv);
}

void GuiSystem::DrawMappedQuad(const float corners[8], const float uv[8])
{
    if (!mDrawing)
        return;
    float xy[8];
    for (int i = 0; i < 8; i += 2)
    {
        xy[i] = GuiToPixelX(corners[i]);
        xy[i + 1] = GuiToPixelY(corners[i + 1]);
    }
    AddCornerQuad(xy, uv);
}

void GuiSystem::AddCornerQuad(const float xy[8], const float uv[8])
{
    float minX = xy[0], minY = xy[1], maxX = xy[0], maxY = xy[1];
    for (int i = 2; i < 8; i += 2)
    {
        minX = std::min(minX, xy[i]);
        maxX = std::max(maxX, xy[i]);
        minY = std::min(minY, xy[i + 1]);
        maxY = std::max(maxY, xy[i + 1]);
    }
    BeforeQuad(minX, minY, maxX, maxY);
    mBatcher->AddCorners(xy, uv);
}

void GuiSystem::DrawPixelQuad(float left, float top, float right, float bottom)
{
    if (mDrawing)
        AddQuad(left, top, right, bottom, 0.0f, 0.0f, 1.0f, 1.0f);
}

void GuiSystem::DrawFullScreenQuad() { DrawPixelQuad(0.0f, 0.0f, float(mWidth), float(mHeight)); }

void GuiSystem::SetFont(int32_t index)
{
    if (index == mFontIndex)
        return;
    if (!GetFont(index))
    {
        if (std::find(mWarnedFonts.begin(), mWarnedFonts.end(), index) == mWarnedFonts.end())
        {
            mWarnedFonts.push_back(index);
            Console::Instance().Log("GuiSystem: no font " + std::to_string(index), LogError);
        }
    }
    const bool reopen = mTextOpen;
    if (reopen)
        EndText();
    mFontIndex = index;
    if (reopen)
        BeginText();
}

void GuiSystem::BeginText()
{
    if (!mDrawing || mTextOpen)
        return;
    mTextOpen = true;
    mTextFont = GetFont(mFontIndex);
    if (!mTextFont || std::find(mOpenFonts.begin(), mOpenFonts.end(), mTextFont) != mOpenFonts.end())
        return;
    // The font's batch stays open beside the quads'; Begin sets text states, the quads get
    // theirs back at once.
    mTextFont->Begin();
    mDevice->Apply(mQuadStates);
    mOpenFonts.push_back(mTextFont);
}

void GuiSystem::EndText()
{
    if (!mTextOpen)
        return;
    if (mTextFont)
        mTextFont->ClearTextEffect();
    mTextOpen = false;
    mTextFont = nullptr;
}

namespace {

// Room for the glyphs of one more text in the font's open batch.
bool Fits(const BitmapFont& font, const char* text)
{
    return (font.GetBatchGlyphs() + std::strlen(text)) * 6 <= BitmapFont::kScreenVertices;
}

// The pixels aligned text may cover, as BitmapFont::DrawTextAligned places it.
Rect TextBounds(const BitmapFont& font, const char* text, const Rect& rect, int32_t alignment)
{
    const float scale = font.GetTextScale();
    const auto width = int32_t(std::ceil(font.GetLineWidth(text, scale, 0)));
    auto height = int32_t(std::ceil(font.GetTextHeight(text, scale)));
    const int32_t lineHeight = font.GetCellHeight() * 2;
    switch (alignment)
    {
    case 0:
    {
        const int32_t cx = (rect.mLeft + rect.mRight) / 2, cy = (rect.mTop + rect.mBottom) / 2;
        return Rect{cx - width / 2 - 1, cy - height / 2 - 1, cx + width / 2 + 1, cy + height / 2 + 1};
    }
    case 1:
    {
        // Wrapped at the rectangle's width: a line per width, and one more for a broken word.
        const int32_t rectWidth = std::max(rect.mRight - rect.mLeft, 1);
        height += (width / rectWidth + 1) * lineHeight;
        return Rect{rect.mLeft, rect.mTop, std::max(rect.mRight, rect.mLeft + width), rect.mTop + height};
    }
    case 3:
    {
        const int32_t cy = (rect.mTop + rect.mBottom) / 2;
        return Rect{rect.mRight - width - 1, cy - height / 2 - 1, rect.mRight, cy + height / 2 + 1};
    }
    default:
        return Rect{};
    }
}

} // namespace

void GuiSystem::DrawText(float x, float y, const char* text)
{
    if (!mTextOpen || !mTextFont || !text)
        return;
    if (!Fits(*mTextFont, text))
        FlushAll();
    mTextFont->DrawTextScreen(text, x, y, mColor, 1.0f, true, false, 0.0f);
    AddTextBounds(mTextFont->MeasureRect(text, int32_t(x), int32_t(y), mTextFont->GetTextScale()));
}

void GuiSystem::DrawTextInRect(const char* text, const Rect& rect, int32_t alignment)
{
    if (!mTextOpen || !mTextFont || !text)
        return;
    if (!Fits(*mTextFont, text))
        FlushAll();
    mTextFont->DrawTextAligned(text, rect, mColor, 1.0f, alignment);
    AddTextBounds(TextBounds(*mTextFont, text, rect, alignment));
}

void GuiSystem::SetTextEffect(int32_t mode, float time, const Vector3& values)
{
    if (mTextFont)
        mTextFont->SetTextEffect(mode, time, values);
}

void GuiSystem::ClearTextEffect()
{
    if (mTextFont)
        mTextFont->ClearTextEffect();
}
