#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The trap-drop preview's state that the data controller and its commands use: whether
// dropping is allowed, which trap kind it shows and what it is showing.
class DropPreview
{
public:
    enum Mode : int32_t
    {
        ModeNone = 0,
        ModeTrap = 1,
        ModeWallLine = 3,
    };

    ~DropPreview();

    void Activate() { mAllowed = true; }
    void Deactivate();
    // Hides every preview cog; the mode goes back to nothing shown.
    void Clear();
    // Destroys the preview cogs.
    void Reset();
    // The preview cogs are held by ID, so a dead one is simply skipped.
    void AddPreviewCog(uint32_t id) { mPreviewCogs.push_back(id); }
    const std::vector<uint32_t>& GetPreviewCogs() const { return mPreviewCogs; }

    bool mAllowed = true;
    std::string mTrapName;
    int32_t mMode = ModeNone;

private:
    std::vector<uint32_t> mPreviewCogs;
};
