// Writes the game's model files and the turret's constraint file under a data folder.
// Usage: lmfgen [data folder]   (default: data)
#include <cstdio>
#include <string>

#include "tools/lmfgen/GameModels.h"

int main(int argc, char** argv)
{
    const std::string folder = argc > 1 ? argv[1] : "data";
    if (!WriteAllModels(folder))
    {
        std::fprintf(stderr, "lmfgen: could not write the models under %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
