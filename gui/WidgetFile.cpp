#include "gui/WidgetFile.h"

#include <map>
#include <set>

#include "LOOM/base/FileUtils.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/BinaryLoader.h"
#include "LOOM/serial/BinarySaver.h"
#include "LOOM/serial/XMLLoader.h"
#include "LOOM/serial/XMLReader.h"
#include "LOOM/serial/XMLSaver.h"
#include "gui/Widget.h"

namespace {

std::map<std::string, WidgetMaker>& Makers()
{
    static std::map<std::string, WidgetMaker> makers;
    return makers;
}

std::set<std::string>& WarnedTypes()
{
    static std::set<std::string> warned;
    return warned;
}

constexpr uint32_t kMaxDepth = 64;

// One load: which serializer, and the XML loader when the stream is text (only text can skip
// an element it does not know).
struct ReadContext
{
    Serializer& mIn;
    XMLLoader* mXml;
    std::string mName;
    bool mReported = false;

    void Report(const std::string& text)
    {
        if (!mReported)
            Console::Instance().Log(text, LogError);
        mReported = true;
    }
};

// Consumes the rest of the element whose start tag was read last.
void SkipElement(XMLLoader& loader)
{
    XMLReader& reader = loader.GetReader();
    if (reader.IsEmpty())
        return;
    uint32_t depth = 1;
    while (depth > 0 && reader.ParseElement())
    {
        // An empty element's end tag comes with its start tag.
        if (reader.Kind() == XMLReader::KindStart && !reader.IsEmpty())
            ++depth;
        else if (reader.Kind() == XMLReader::KindEnd && !reader.IsSelfClosing())
            --depth;
    }
}

std::unique_ptr<Widget> ReadWidget(ReadContext& context, uint32_t depth);

void ReadChildren(ReadContext& context, Widget& parent, uint32_t depth)
{
    Serializer& s = context.mIn;
    std::vector<std::unique_ptr<Widget>> children;
    SerializeItemList(s, "Children", children, "widget", [&](std::unique_ptr<Widget>& child) {
        // Once the input fails the rest stay empty.
        if (s.IsGood())
            child = ReadWidget(context, depth + 1);
    });
    for (auto& child : children)
        parent.AddChild(std::move(child));
}

std::unique_ptr<Widget> ReadWidget(ReadContext& context, uint32_t depth)
{
    Serializer& s = context.mIn;
    if (depth > kMaxDepth)
    {
        context.Report("Widget file " + context.mName + ": widgets nested too deep");
        return nullptr;
    }
    std::string type;
    if (!s.BeginField("widget", nullptr, false, TypeObject, &type))
        return nullptr;
    s.SerializeNamed("type", type);
    if (!s.IsGood())
        return nullptr;
    std::unique_ptr<Widget> widget = IsWidgetType(type) ? CreateWidget(type) : nullptr;
    if (!widget)
    {
        context.Report("Widget file " + context.mName + ": unknown widget type \"" + type + "\", skipped");
        if (context.mXml)
            SkipElement(*context.mXml);
        return nullptr;
    }
    widget->Serialize(s);
    ReadChildren(context, *widget, depth);
    // A broken stream has been reported by the loader itself.
    s.EndField("widget", false);
    return widget;
}

std::unique_ptr<Widget> Read(Serializer& in, XMLLoader* xml, const std::string& name, uint32_t ownerId)
{
    ReadContext context{in, xml, name};
    std::unique_ptr<Widget> root = ReadWidget(context, 0);
    if (!root && !context.mReported && in.IsGood())
        Console::Instance().Log("Widget file " + name + ": no widget read", LogError);
    if (root)
        root->SetOwner(ownerId);
    return root;
}

bool IsBinary(const std::string& bytes) { return bytes.size() >= 4 && bytes.compare(0, 4, "loom") == 0; }

} // namespace

void RegisterWidgetType(const std::string& typeName, WidgetMaker maker) { Makers()[typeName] = std::move(maker); }

bool IsWidgetType(const std::string& typeName) { return Makers().count(typeName) != 0; }

std::unique_ptr<Widget> CreateWidget(const std::string& typeName)
{
    auto it = Makers().find(typeName);
    if (it == Makers().end())
    {
        if (WarnedTypes().insert(typeName).second)
            Console::Instance().Log("Unknown widget type \"" + typeName + "\"", LogError);
        return nullptr;
    }
    std::unique_ptr<Widget> widget = it->second();
    if (widget)
        widget->SetTypeName(typeName);
    return widget;
}

std::unique_ptr<Widget> LoadWidgetBuffer(std::string bytes, const std::string& name, uint32_t ownerId)
{
    if (IsBinary(bytes))
    {
        // A cut file would be reported twice by the loader (no closing tag, then the value it
        // ends in); it is refused here with one line.
        if (bytes.size() < 8 || bytes.compare(bytes.size() - 4, 4, "loom") != 0)
        {
            Console::Instance().Log("Widget file " + name + ": binary stream cut short", LogError);
            return nullptr;
        }
        BinaryLoader loader;
        // The loaders report what they refuse themselves.
        if (!loader.OpenFromBuffer(std::move(bytes), name))
            return nullptr;
        return Read(loader, nullptr, name, ownerId);
    }
    XMLLoader loader;
    if (!loader.OpenText(std::move(bytes), name))
        return nullptr;
    return Read(loader, &loader, name, ownerId);
}

std::unique_ptr<Widget> LoadWidgetFile(const std::string& file, Cog* owner)
{
    std::string bytes;
    if (IsRefusedDataName(file)) // reported when the name was read
        return nullptr;
    if (!ReadWholeFile(DataFilePath(file), bytes))
    {
        Console::Instance().Log("Widget file " + file + ": cannot be opened", LogError);
        return nullptr;
    }
    std::unique_ptr<Widget> root = LoadWidgetBuffer(std::move(bytes), file, owner ? owner->GetID() : 0);
    if (root)
        root->SetSourceFile(file);
    return root;
}

void SerializeWidgetTree(Serializer& s, Widget& widget)
{
    std::string type = widget.GetTypeName();
    if (!s.BeginField("widget", nullptr, false, TypeObject, &type))
        return;
    s.SerializeNamed("type", type);
    widget.Serialize(s);
    auto& children = widget.MutableChildren();
    SerializeItemList(s, "Children", children, "widget",
                      [&s](std::unique_ptr<Widget>& child) { SerializeWidgetTree(s, *child); });
    s.EndField("widget", false);
}

namespace {

bool Save(Serializer& out, const std::string& file, Widget& widget)
{
    if (!out.Open(DataFilePath(file)))
    {
        Console::Instance().Log("Widget file " + file + ": cannot be written", LogError);
        return false;
    }
    SerializeWidgetTree(out, widget);
    out.Close();
    return out.IsGood();
}

} // namespace

bool SaveWidgetFile(const std::string& file, Widget& widget)
{
    XMLSaver saver;
    return Save(saver, file, widget);
}

bool SaveWidgetFileBinary(const std::string& file, Widget& widget)
{
    BinarySaver saver;
    return Save(saver, file, widget);
}
