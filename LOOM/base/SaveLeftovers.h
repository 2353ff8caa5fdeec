#pragma once
#include <string>
#include <vector>

// A save interrupted before its rename (the program killed mid-write) leaves its temporary file
// beside the target: "<target>.tmp<pid>_<n>", as SaveWholeFile names them.
bool IsSaveLeftoverName(const std::string& name);

// Removes, under the folder and its subfolders, every regular file named as a save's temporary
// file whose writer is no longer running, and returns their paths relative to the folder.
// Links are neither followed nor removed; nothing else is touched.
std::vector<std::string> RemoveSaveLeftovers(const std::string& folder);
