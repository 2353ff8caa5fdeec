#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class Cog;
class Serializer;
class Widget;

// The widget factory: widgets by type name. The GUI registers its own types; the game adds its
// own (a later registration under the same name replaces the earlier one).
using WidgetMaker = std::function<std::unique_ptr<Widget>()>;
void RegisterWidgetType(const std::string& typeName, WidgetMaker maker);
// Null, logged once per name, for an unknown type.
std::unique_ptr<Widget> CreateWidget(const std::string& typeName);
bool IsWidgetType(const std::string& typeName);
void RegisterGuiWidgetTypes();

// Widget files are streams of our serializer: one element "widget" with the attribute "type",
// the base fields, the type's own fields, then the list "Children". XML or binary, told apart
// by the binary stream's leading tag. A broken file or an unknown type gives one log line
// naming the file; an unknown type's subtree is skipped and its siblings load.
std::unique_ptr<Widget> LoadWidgetFile(const std::string& file, Cog* owner);
std::unique_ptr<Widget> LoadWidgetBuffer(std::string bytes, const std::string& name, uint32_t ownerId);
bool SaveWidgetFile(const std::string& file, Widget& widget);
bool SaveWidgetFileBinary(const std::string& file, Widget& widget);
// The whole tree through any serializer (used by the savers).
void SerializeWidgetTree(Serializer& s, Widget& widget);
