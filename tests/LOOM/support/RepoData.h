#pragma once
#include <filesystem>
#include <string>

// The repository's data folder, ending in a slash as the data path wants it.
inline std::string RepoDataFolder()
{
    return (std::filesystem::path(LOOM_TEST_DATA) / ".." / ".." / "data").lexically_normal().string() + "/";
}
