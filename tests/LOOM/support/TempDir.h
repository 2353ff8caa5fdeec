#pragma once
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

// A fresh folder under the system temp folder, removed with the object.
class TempDir
{
public:
    TempDir()
    {
        std::random_device rd;
        mPath = std::filesystem::temp_directory_path() / ("loom_test_" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(mPath);
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(mPath, ec);
    }
    std::string Path(const std::string& name = "") const { return (mPath / name).string(); }
    std::string Write(const std::string& name, const std::string& content) const
    {
        std::filesystem::path p = mPath / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return p.string();
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path mPath;
};

// Runs the test in another working folder; the engine's relative paths resolve there.
class ScopedCwd
{
public:
    explicit ScopedCwd(const std::string& folder) : mPrevious(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~ScopedCwd() { std::filesystem::current_path(mPrevious); }

private:
    std::filesystem::path mPrevious;
};
