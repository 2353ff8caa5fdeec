#pragma once
#include <string>

// The file guard: every file the program opens, lists or saves goes through it.
#include "LOOM/files/FileGuard.h"

std::string GetFileName(const std::string& path);
std::string GetFileExtension(const std::string& path);
