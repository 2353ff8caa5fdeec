// Widget files, XML or binary, read as the widget component reads them; a tree that loads is
// written back out.
#include "fuzz/FuzzSupport.h"
#include "gui/Widget.h"
#include "gui/WidgetFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool registered = [] {
        ScratchFolder();
        RegisterGuiWidgetTypes();
        return true;
    }();
    (void)registered;
    std::unique_ptr<Widget> root =
        LoadWidgetBuffer(std::string(reinterpret_cast<const char*>(data), size), "Fuzz.xml", 0);
    if (root)
        SaveWidgetFile("FuzzOut.xml", *root);
    return 0;
}
