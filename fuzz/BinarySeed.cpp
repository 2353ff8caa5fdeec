// Writes the binary loader's seed: the all-fields test record saved binary.
#include <cstdio>
#include <fstream>

#include "LOOM/serial/BinarySaver.h"
#include "tests/LOOM/support/AllFieldsRecord.h"

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s out.bin\n", argv[0]);
        return 2;
    }
    AllFields record = MakeAllFields();
    BinarySaver saver;
    saver.OpenMemory();
    record.Serialize(saver);
    saver.Close();
    std::ofstream(argv[1], std::ios::binary) << saver.Bytes();
    return 0;
}
