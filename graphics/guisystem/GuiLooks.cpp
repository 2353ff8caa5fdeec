#include "graphics/guisystem/GuiLooks.h"

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/DataNumber.h"
#include "LOOM/serial/XMLReader.h"

namespace {

// The pointer is drawn this many pixels wide and high at most (and at least 1).
constexpr double kLargestPointer = 1023.0;

// The text of the first element whose "name" is that name, or empty, and the line it is on. The
// configuration is walked with the tokenizer so that a section it lacks keeps its default quietly.
std::string NamedText(const std::string& path, const std::string& name, size_t* line = nullptr)
{
    XMLReader reader;
    std::string_view raw;
    std::string text;
    if (reader.Open(path) && reader.FindElement(name) && !reader.IsEmpty() && reader.ReadText(raw))
    {
        XMLReader::DecodeEntities(raw, text);
        if (line)
            *line = reader.TokenLine();
    }
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
        size_t line = 0;
        const std::string size = NamedText(configFile, "PointerSize", &line);
        if (!size.empty())
            if (const char* why = DataNumber::Parse(size, mPointerSize, 1.0, kLargestPointer))
                DataNumber::Refuse(configFile, line, "PointerSize", size, DataNumber::Why(why, 1.0, kLargestPointer),
                                   DataNumber::Text(mPointerSize));
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
