#pragma once
// Widget trees for the tools that write the game's widget files.
#include <memory>

#include "gui/Widget.h"
#include "gui/WidgetFile.h"

// A widget of the registered type, named and placed in GUI units.
template <typename T>
std::unique_ptr<T> Make(const char* type, const char* name, float x, float y, float w, float h)
{
    std::unique_ptr<Widget> made = CreateWidget(type);
    std::unique_ptr<T> widget(static_cast<T*>(made.release()));
    widget->SetName(name);
    widget->SetGuiPosition(x, y);
    widget->SetGuiSize(w, h);
    return widget;
}
