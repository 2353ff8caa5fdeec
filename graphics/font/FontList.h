#pragma once
#include <memory>
#include <string>
#include <vector>

class BitmapFont;
class GraphicsDevice;

// The fonts widgets, effects and the console overlay index: the "Fonts" list of the GUI
// configuration, each a texture file and a glyph-width file, loaded in list order.
class FontList
{
public:
    struct FontFiles
    {
        std::string mTexture;
        std::string mWidths;
    };

    FontList();
    ~FontList();

    // Reads the list and loads every font on the device; a file that cannot be read gives an
    // empty list (logged). Returns the number of fonts.
    size_t Load(const std::string& configFile, GraphicsDevice* device);
    static std::vector<FontFiles> ReadFontFiles(const std::string& configFile);
    void Clear();

    // Null past the end.
    BitmapFont* Get(size_t index) const;
    size_t Size() const { return mFonts.size(); }

    void InvalidateDeviceObjects();
    void RestoreDeviceObjects();

private:
    std::vector<std::unique_ptr<BitmapFont>> mFonts;
};
