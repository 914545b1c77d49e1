// TempDir.h - a fresh directory per test, removed with everything in it.
//
// Win32-only test code.
#pragma once

#include "Foundation/Win32.h"

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>

namespace TestSupport {

inline void removeTree(const std::string& dir)
{
    WIN32_FIND_DATAA found{};
    Vorlix::FindHandle search(FindFirstFileA((dir + "\\*").c_str(), &found));
    if (search) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            const std::string full = dir + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(full);
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(search.get(), &found));
    }
    search.close(); // an open search would keep the directory from being removed
    RemoveDirectoryA(dir.c_str());
}

class TempDir {
public:
    TempDir()
    {
        static std::atomic<int> counter{0};
        char base[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, base);
        path = std::string(base) + "vorlix-test-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(counter++);
        removeTree(path);
        CreateDirectoryA(path.c_str(), nullptr);
    }
    ~TempDir() { removeTree(path); }

    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return path + "\\" + name; }

    std::string path;
};

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

inline bool fileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace TestSupport
