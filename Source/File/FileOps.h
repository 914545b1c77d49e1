// FileOps.h - the thin layer over the platform's file system, and FileUtils, what the rest of
// the system calls: removal, sizes, parent directories and path texts.
//
// FileOps is the Win32 layer (platform types stay in FileOps.cpp); the path text functions of
// FileUtils are portable. Nothing here throws. Both separators are accepted; backslashes are
// written.
#pragma once

#include "Time/DateTime.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Vorlix {

enum FileAttribute : uint16_t {
    ATTR_ARCHIVE = 0x0001,
    ATTR_COMPRESSED = 0x0002,
    ATTR_DIRECTORY = 0x0004,
    ATTR_ENCRYPTED = 0x0008,
    ATTR_HIDDEN = 0x0010,
    ATTR_OFFLINE = 0x0020,
    ATTR_READONLY = 0x0040,
    ATTR_SYSTEM = 0x0080,
    ATTR_TEMPORARY = 0x0100,
    ATTR_NORMAL = 0x0200,
    ATTR_SPARSE = 0x1000,
};

struct FileInfo {
    bool exists = false;
    std::string fullPath;
    uint64_t size = 0;
    uint16_t attributes = 0;
    DateFields created;
    DateFields lastAccess;
    DateFields lastWrite;
};

struct DirEntry {
    std::string name;
    bool isFile = false;
};

namespace FileOps {

bool exists(const std::string& path);
bool fileInfo(const std::string& path, FileInfo& info);
bool copyFile(const std::string& from, const std::string& to, bool overwrite);
bool moveFile(const std::string& from, const std::string& to, bool replace);
bool deleteFile(const std::string& path);
bool createDirectory(const std::string& path);
bool setAttributes(const std::string& path, uint16_t bits);
std::vector<DirEntry> listDirectory(const std::string& directory, const std::string& pattern);

// Creates the file only if nothing of that name exists, and keeps it open (sharing reading and
// writing, not deletion) until closeExclusive; 0 when the name was taken or creation failed.
void* createExclusive(const std::string& path);
void closeExclusive(void* handle);
// The system error number of the calling thread's last failed call, read right after it.
uint32_t lastError();

} // namespace FileOps

namespace FileUtils {

bool copyFile(const std::string& from, const std::string& to, bool overwrite);
bool moveFile(const std::string& from, const std::string& to, bool replace);
std::vector<DirEntry> listDirectory(const std::string& directory, const std::string& pattern);
bool removeFile(const std::string& path, bool force);
uint32_t fileSize(const std::string& path);
bool createParentDirectories(const std::string& path);

std::string directoryPart(const std::string& path);
std::string fileNamePart(const std::string& path);
std::string extension(const std::string& path);
std::string splitExtension(std::string& path);
void addTrailingSeparator(std::string& path);
void normalizeSeparators(std::string& path);
void stripTrailingSeparators(std::string& path);

} // namespace FileUtils

} // namespace Vorlix
