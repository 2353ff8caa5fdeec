#include "LOOM/factory/ComponentExport.h"

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Comp.h"
#include "LOOM/serial/XMLSaver.h"

void SaveComponentFile(Comp& component, const std::string& fileName)
{
    XMLSaver::SaveElement(fileName, "comp", component, TypeComp);
}

void SaveStringList(std::vector<std::string>& list, const std::string& fileName)
{
    XMLSaver saver;
    if (!saver.Open(fileName))
        return;
    saver.SerializeStringListField(nullptr, list);
    saver.Close();
}

bool IsSafeFileStem(const std::string& name)
{
    return !name.empty() && name.find_first_of(std::string("/\\\0", 3)) == std::string::npos &&
        name.find("..") == std::string::npos;
}
