#pragma once

// Makes the graphics loom's GUI the full GUI system with the widget layer, registers the GUI's
// widget types and fills the loom's "WidgetComp" factory slot. Call before the looms start.
void InstallGui();
