#include "graphics/guisystem/GuiLooks.h"

#include <cstdlib>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/XMLReader.h"

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

void GuiLooks::Read(const std::string& configFile)
{
    mBackgrounds.clear();
    mPointer.Reset();
    mPointer.File() = "Textures/Pointer.dds";
    mPointerSize = 24.0f;
    std::vector<std::string> backgrounds;
    const std::string path = DataFilePath(configFile);
    if (FileExists(path))
    {
        backgrounds = NamedFiles(configFile, "Backgrounds");
        const std::string pointer = NamedText(configFile, "Pointer");
        if (!pointer.empty())
            mPointer.File() = pointer;
        const std::string size = NamedText(configFile, "PointerSize");
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

void GuiLooks::Release()
{
    mBackgrounds.clear();
    mPointer.Reset();
}

void GuiLooks::ActivateBackground(int32_t index)
{
    mBackground = index >= 0 && size_t(index) < mBackgrounds.size() ? index : -1;
}
