#include "graphics/font/FontList.h"

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/XMLLoader.h"
#include "graphics/font/BitmapFont.h"

FontList::FontList() = default;
FontList::~FontList() = default;

std::vector<FontList::FontFiles> FontList::ReadFontFiles(const std::string& configFile)
{
    std::vector<FontFiles> fonts;
    const std::string path = DataFilePath(configFile);
    if (!FileExists(path))
    {
        Console::Instance().Log("FontList: cannot open " + configFile + ", no fonts", LogError);
        return fonts;
    }
    XMLLoader loader;
    if (loader.Open(path) && loader.BeginField("GuiConfig", nullptr, false, TypeElement, &fonts))
    {
        LoadWholeItems(loader, "Fonts", fonts, "Font", [&loader](FontFiles& font) {
            loader.SerializeFile("Texture", font.mTexture);
            loader.SerializeFile("Widths", font.mWidths);
            // Both checked, so each refused name is named.
            const bool texture = KeepDataName(font.mTexture);
            const bool widths = KeepDataName(font.mWidths);
            if (!texture || !widths)
                font = FontFiles();
        });
        // The GUI system's own sections follow the fonts; they are not read here.
    }
    loader.Close();
    return fonts;
}

size_t FontList::Load(const std::string& configFile, GraphicsDevice* device)
{
    Clear();
    for (const FontFiles& files : ReadFontFiles(configFile))
    {
        auto font = std::make_unique<BitmapFont>(device);
        // A refused entry keeps its place, left empty as a font that failed to load.
        if (!files.mTexture.empty())
            font->Load(files.mTexture, files.mWidths);
        mFonts.push_back(std::move(font));
    }
    return mFonts.size();
}

void FontList::Clear() { mFonts.clear(); }

BitmapFont* FontList::Get(size_t index) const { return index < mFonts.size() ? mFonts[index].get() : nullptr; }

void FontList::InvalidateDeviceObjects()
{
    for (auto& font : mFonts)
        font->InvalidateDeviceObjects();
}

void FontList::RestoreDeviceObjects()
{
    for (auto& font : mFonts)
        font->RestoreDeviceObjects();
}
