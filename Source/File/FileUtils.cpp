// FileUtils.cpp - file utilities over FileOps, and path texts.
//
// The path text functions are portable; the rest goes through FileOps.
#include "File/FileOps.h"

namespace Vorlix {
namespace FileUtils {

namespace {

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

// A lone separator, a drive ("C:"), or the server and share of a network path, each without a
// trailing separator: nothing above them can be made.
bool isRootPath(const std::string& path)
{
    if (path.size() == 1 && isSeparator(path[0])) {
        return true;
    }
    if (path.size() == 2 && path[1] == ':') {
        return true;
    }
    if (path.size() > 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        size_t separators = 0;
        for (size_t i = 2; i < path.size(); ++i) {
            separators += isSeparator(path[i]) ? 1 : 0;
        }
        return separators <= 1;
    }
    return false;
}

} // namespace

bool copyFile(const std::string& from, const std::string& to, bool overwrite)
{
    return FileOps::copyFile(from, to, overwrite);
}

bool moveFile(const std::string& from, const std::string& to, bool replace)
{
    return FileOps::moveFile(from, to, replace);
}

std::vector<DirEntry> listDirectory(const std::string& directory, const std::string& pattern)
{
    return FileOps::listDirectory(directory, pattern);
}

bool removeFile(const std::string& path, bool force)
{
    FileInfo info;
    if (!FileOps::fileInfo(path, info)) {
        return false;
    }
    if (force) {
        if (!FileOps::setAttributes(path, ATTR_NORMAL)) {
            return false;
        }
    } else if ((info.attributes & ATTR_READONLY) != 0) {
        return false;
    }
    return FileOps::deleteFile(path);
}

uint32_t fileSize(const std::string& path)
{
    FileInfo info;
    if (!FileOps::fileInfo(path, info)) {
        return 0;
    }
    return static_cast<uint32_t>(info.size & 0xFFFFFFFFu);
}

bool createParentDirectories(const std::string& path)
{
    // Walks up to the first ancestor that exists or is a root, then creates the missing ones top
    // down. A root cannot be created, and the walk must end there: the parent of "\\" is "\\".
    std::vector<std::string> missing;
    std::string current = path;
    for (;;) {
        std::string parent = directoryPart(current);
        stripTrailingSeparators(parent);
        if (parent.empty() || parent.size() >= current.size() || isRootPath(parent) ||
            FileOps::exists(parent)) {
            break;
        }
        missing.push_back(parent);
        current = parent;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!FileOps::createDirectory(*it)) {
            return false;
        }
    }
    return true;
}

std::string directoryPart(const std::string& path)
{
    const auto last = path.find_last_of("\\/");
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string fileNamePart(const std::string& path)
{
    const auto last = path.find_last_of("\\/");
    return last == std::string::npos ? path : path.substr(last + 1);
}

std::string extension(const std::string& path)
{
    const auto dot = path.rfind('.');
    return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

std::string splitExtension(std::string& path)
{
    std::string e = extension(path);
    if (!e.empty()) {
        path.erase(path.rfind('.'));
    }
    return e;
}

void addTrailingSeparator(std::string& path)
{
    if (path.empty() || !isSeparator(path.back())) {
        path.push_back('\\');
    }
}

void normalizeSeparators(std::string& path)
{
    if (path.size() < 2) {
        return;
    }
    std::string result(1, path[0]);
    for (size_t i = 1; i < path.size(); ++i) {
        if (isSeparator(path[i])) {
            if (isSeparator(result.back()) && result.size() > 1) {
                continue;
            }
            if (isSeparator(result.back()) && result.size() == 1) {
                // The untouched first character is a separator: a network path keeps its pair.
                result.push_back('\\');
                continue;
            }
            result.push_back('\\');
        } else {
            result.push_back(path[i]);
        }
    }
    path = result;
}

void stripTrailingSeparators(std::string& path)
{
    while (!path.empty() && path != "\\" && path != "/" && isSeparator(path.back())) {
        path.pop_back();
    }
}

} // namespace FileUtils
} // namespace Vorlix
