#pragma once
#include <string>

#include "graphics/device/Image.h"

// Decodes an image file of the data folder (BMP, PNG, TGA, JPEG) into BGR8, top row first.
// False, with the reason in error, when the file is missing, unreadable or larger than maxSide.
bool LoadImageFile(const std::string& fileName, Image& out, std::string& error, int maxSide = 8192);
