// Converts the program's screenshots (24-bit BMP) to PNG for the README: bmp2png <in.bmp> <out.png>
#include <stb_image.h>
#include <stb_image_write.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: bmp2png <in.bmp> <out.png>\n");
        return 2;
    }
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels = stbi_load(argv[1], &width, &height, &channels, 3);
    if (!pixels)
    {
        std::fprintf(stderr, "bmp2png: cannot read %s: %s\n", argv[1], stbi_failure_reason());
        return 1;
    }
    const int written = stbi_write_png(argv[2], width, height, 3, pixels, width * 3);
    stbi_image_free(pixels);
    if (!written)
    {
        std::fprintf(stderr, "bmp2png: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
