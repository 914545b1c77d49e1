// FilePaths.cpp - the path texts of FileUtils: directory and file name parts, extensions and
// separators.
//
// Portable: no platform headers; this file must stay free of them (configuration look-ups and the
// message catalogue use it, and they are built natively and fuzzed).
#include "File/FileOps.h"

namespace Vorlix {
namespace FileUtils {

namespace {

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

} // namespace

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
