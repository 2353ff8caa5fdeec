#pragma once
#include <string>
#include <vector>

class Comp;

// Writes one component as an XML stream file holding its "comp" element.
void SaveComponentFile(Comp& component, const std::string& fileName);
// Writes a "list" of "string" items as an XML stream file.
void SaveStringList(std::vector<std::string>& list, const std::string& fileName);
// Whether a name taken from data may become a file name inside an output folder: not empty,
// no folder separators, no "..".
bool IsSafeFileStem(const std::string& name);
