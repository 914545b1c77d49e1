// FileUtils.cpp - file utilities over FileOps.
//
// Goes through the FileOps layer; the path texts are in FilePaths.cpp.
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

} // namespace FileUtils
} // namespace Vorlix
