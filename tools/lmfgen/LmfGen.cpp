// Writes the game's model files and the turret's constraint file under a data folder.
// Usage: lmfgen [data folder]   (default: data)
//        lmfgen --x <folder>    writes the X reader's fuzzing seeds there
#include <cstdio>
#include <string>

#include "tools/lmfgen/ContentModels.h"
#include "tools/lmfgen/GameModels.h"
#include "tools/lmfgen/WriterX.h"

int main(int argc, char** argv)
{
    if (argc > 2 && std::string(argv[1]) == "--x")
    {
        if (WriteXCorpus(argv[2]))
            return 0;
        std::fprintf(stderr, "lmfgen: could not write the X files under %s\n", argv[2]);
        return 1;
    }
    const std::string folder = argc > 1 ? argv[1] : "data";
    if (!WriteAllModels(folder) || !WriteContentModels(folder))
    {
        std::fprintf(stderr, "lmfgen: could not write the models under %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
