#pragma once
#include <cstdint>
#include <memory>
#include <string>

class BitmapFont;
class FontList;
class GraphicsDevice;

// The fonts the GUI draws with: a list of its own (tests, tools) or, by default, the overlay's.
class GuiFonts
{
public:
    GuiFonts();
    ~GuiFonts();
    GuiFonts(const GuiFonts&) = delete;
    GuiFonts& operator=(const GuiFonts&) = delete;

    size_t Load(const std::string& configFile, GraphicsDevice* device);
    FontList* GetList() const;
    BitmapFont* GetFont(int32_t index) const;
    void OnDeviceLost();
    void OnDeviceReset();
    void Release();

private:
    std::unique_ptr<FontList> mOwn;
};
