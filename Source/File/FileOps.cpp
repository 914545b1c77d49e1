// FileOps.cpp - file system access through Win32.
//
// Win32-only.
#include "File/FileOps.h"

#include "File/FileFaults.h"

#include "Foundation/Win32.h"

namespace Vorlix {

namespace {

struct AttributeMapping {
    uint16_t bit;
    DWORD platform;
    bool settable;
};

const AttributeMapping kAttributes[] = {
    {ATTR_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE, true},      {ATTR_COMPRESSED, FILE_ATTRIBUTE_COMPRESSED, false},
    {ATTR_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY, false}, {ATTR_ENCRYPTED, FILE_ATTRIBUTE_ENCRYPTED, false},
    {ATTR_HIDDEN, FILE_ATTRIBUTE_HIDDEN, true},        {ATTR_OFFLINE, FILE_ATTRIBUTE_OFFLINE, true},
    {ATTR_READONLY, FILE_ATTRIBUTE_READONLY, true},    {ATTR_SYSTEM, FILE_ATTRIBUTE_SYSTEM, true},
    {ATTR_TEMPORARY, FILE_ATTRIBUTE_TEMPORARY, true},  {ATTR_NORMAL, FILE_ATTRIBUTE_NORMAL, true},
    {ATTR_SPARSE, FILE_ATTRIBUTE_SPARSE_FILE, false},
};

DateFields utcFieldsOf(const FILETIME& time)
{
    SYSTEMTIME system{};
    if (!FileTimeToSystemTime(&time, &system)) {
        return DateTime(0).fields();
    }
    DateFields f;
    f.year = system.wYear;
    f.month = system.wMonth;
    f.day = system.wDay;
    f.weekday = (system.wDayOfWeek + 6) % 7;
    f.hour = system.wHour;
    f.minute = system.wMinute;
    f.second = system.wSecond;
    f.isLocal = 0;
    return f;
}

} // namespace

namespace FileOps {

bool exists(const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    if (path.back() == ':') {
        // A drive: asked of the drive type alone, without touching its content. Both "unknown"
        // (0) and "no such root" (1, what an absent drive letter answers) mean there is none.
        const UINT type = GetDriveTypeA(path.c_str());
        return type != DRIVE_UNKNOWN && type != DRIVE_NO_ROOT_DIR;
    }
    FileInfo info;
    return fileInfo(path, info);
}

bool fileInfo(const std::string& path, FileInfo& info)
{
    WIN32_FIND_DATAA found{};
    FindHandle search(FindFirstFileA(path.c_str(), &found));
    if (!search) {
        info.exists = false;
        return false;
    }
    info.exists = true;
    search.close();

    char full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    info.fullPath = (length > 0 && length < MAX_PATH) ? std::string(full, length) : std::string();

    info.attributes = 0;
    for (const auto& a : kAttributes) {
        if ((found.dwFileAttributes & a.platform) != 0) {
            info.attributes = static_cast<uint16_t>(info.attributes | a.bit);
        }
    }
    info.created = utcFieldsOf(found.ftCreationTime);
    info.lastAccess = utcFieldsOf(found.ftLastAccessTime);
    info.lastWrite = utcFieldsOf(found.ftLastWriteTime);
    info.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    return true;
}

bool copyFile(const std::string& from, const std::string& to, bool overwrite)
{
    if (FileFaults::copyFails(to)) {
        return false;
    }
    return CopyFileA(from.c_str(), to.c_str(), overwrite ? FALSE : TRUE) != FALSE;
}

bool moveFile(const std::string& from, const std::string& to, bool replace)
{
    if (replace) {
        return MoveFileExA(from.c_str(), to.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) !=
               FALSE;
    }
    return MoveFileA(from.c_str(), to.c_str()) != FALSE;
}

uint32_t lastError()
{
    return GetLastError();
}

bool deleteFile(const std::string& path)
{
    return DeleteFileA(path.c_str()) != FALSE;
}

bool createDirectory(const std::string& path)
{
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool setAttributes(const std::string& path, uint16_t bits)
{
    DWORD platform = 0;
    for (const auto& a : kAttributes) {
        if (a.settable && (bits & a.bit) != 0) {
            platform |= a.platform;
        }
    }
    return SetFileAttributesA(path.c_str(), platform) != FALSE;
}

std::vector<DirEntry> listDirectory(const std::string& directory, const std::string& pattern)
{
    std::string search = directory;
    if (!search.empty()) {
        FileUtils::addTrailingSeparator(search);
    }
    search += pattern;
    std::vector<DirEntry> entries;
    WIN32_FIND_DATAA found{};
    FindHandle handle(FindFirstFileA(search.c_str(), &found));
    if (!handle) {
        return entries;
    }
    do {
        entries.push_back(
            DirEntry{found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0});
    } while (FindNextFileA(handle.get(), &found));
    return entries;
}

void* createExclusive(const std::string& path)
{
    HANDLE created =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    return created == INVALID_HANDLE_VALUE ? nullptr : created;
}

void closeExclusive(void* handle)
{
    if (handle != nullptr) {
        CloseHandle(static_cast<HANDLE>(handle));
    }
}

} // namespace FileOps

} // namespace Vorlix
