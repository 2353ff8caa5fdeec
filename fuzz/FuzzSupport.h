#pragma once
// Shared by the harnesses: a scratch folder that is the working folder and the data path, so
// whatever an input names or writes stays inside it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "LOOM/base/FileUtils.h"

inline const std::string& ScratchFolder()
{
    static const std::string folder = [] {
        const std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("loom_fuzz_" + std::to_string(getpid()));
        std::filesystem::create_directories(path / "Config");
        std::filesystem::current_path(path);
        SetDataPath(path.string() + "/");
        return path.string();
    }();
    return folder;
}

// Writes the input as a file under the scratch folder; returns the relative name.
inline std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size)
{
    ScratchFolder();
    std::ofstream(name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return name;
}
