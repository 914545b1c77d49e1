// SystemInfo.cpp - registry reads and writes under the current root, with reference expansion.
//
// Win32-only.
#include "Foundation/SystemInfo.h"

#include "Foundation/Win32.h"

#include <map>
#include <mutex>
#include <new>
#include <vector>

namespace Vorlix {

const char* const SystemInfo::productKey = "SOFTWARE\\Vorlix\\Resources";

namespace {

constexpr REGSAM kReadAccess = 0x20019;  // KEY_READ
constexpr REGSAM kWriteAccess = 0x20006; // KEY_WRITE
constexpr DWORD kFirstBufferSize = 100;

std::map<std::string, HKEY>& rootTable()
{
    // Built once, guarded, so that any thread may be the first to need it.
    static std::map<std::string, HKEY> table;
    static std::once_flag built;
    std::call_once(built, [] {
        table["HKEY_CLASSES_ROOT"] = HKEY_CLASSES_ROOT;
        table["HKEY_CURRENT_USER"] = HKEY_CURRENT_USER;
        table["HKEY_LOCAL_MACHINE"] = HKEY_LOCAL_MACHINE;
        table["HKEY_USERS"] = HKEY_USERS;
        table["HKEY_CURRENT_CONFIG"] = HKEY_CURRENT_CONFIG;
    });
    return table;
}

std::string& rootName()
{
    static std::string name = "HKEY_LOCAL_MACHINE";
    return name;
}

HKEY currentRootKey()
{
    return rootTable().at(rootName());
}

bool openForReading(const std::string& keyPath, RegKey& key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(currentRootKey(), keyPath.c_str(), 0, kReadAccess, &opened) != ERROR_SUCCESS) {
        return false;
    }
    key = RegKey(opened);
    return true;
}

} // namespace

// static
bool SystemInfo::selectRoot(const std::string& newRoot)
{
    if (rootTable().count(newRoot) == 0) {
        return false;
    }
    rootName() = newRoot;
    return true;
}

// static
const std::string& SystemInfo::currentRoot()
{
    return rootName();
}

// static
int SystemInfo::getRegString(const std::string& keyPath, const std::string& valueName, std::string& out)
{
    int lookupsLeft = maxExpansionLookups;
    return readString(keyPath, valueName, out, 0, lookupsLeft);
}

// static
int SystemInfo::readString(const std::string& keyPath, const std::string& valueName, std::string& out,
                           int depth, int& lookupsLeft)
{
    RegKey key;
    if (!openForReading(keyPath, key)) {
        return 2;
    }
    std::vector<char> buffer;
    DWORD type = 0;
    DWORD size = kFirstBufferSize;
    LONG status = ERROR_MORE_DATA;
    while (status == ERROR_MORE_DATA) {
        try {
            buffer.assign(size, '\0');
        } catch (const std::bad_alloc&) {
            return 1;
        }
        size = static_cast<DWORD>(buffer.size());
        status = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(buffer.data()), &size);
    }
    if (status != ERROR_SUCCESS) {
        return 2;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) {
        return 3;
    }
    size_t length = size <= buffer.size() ? size : buffer.size();
    while (length > 0 && buffer[length - 1] == '\0') {
        --length;
    }
    std::string text(buffer.data(), length);
    expandReferences(text, depth, lookupsLeft);
    out = text;
    return 0;
}

// static
void SystemInfo::expandReferences(std::string& text, int depth, int& lookupsLeft)
{
    size_t pos = 0;
    for (;;) {
        const size_t open = text.find("${", pos);
        // An empty reference at the very end of the text is left alone.
        if (open == std::string::npos || text.size() < 3 || open >= text.size() - 3) {
            return;
        }
        const size_t close = text.find('}', open);
        if (close == std::string::npos) {
            return;
        }
        const std::string name = text.substr(open + 2, close - open - 2);
        std::string value;
        // Past the bounds the reference stays, which ends self-references.
        if (depth < maxExpansionDepth && lookupsLeft > 0 &&
            (--lookupsLeft, readString(productKey, name, value, depth + 1, lookupsLeft) == 0)) {
            text = text.substr(0, open) + value + text.substr(close + 1);
        }
        pos = close;
    }
}

// static
int SystemInfo::getRegNumber(const std::string& keyPath, const std::string& valueName, int32_t& out)
{
    RegKey key;
    if (!openForReading(keyPath, key)) {
        return 2;
    }
    BYTE buffer[kFirstBufferSize] = {};
    DWORD type = 0;
    DWORD size = sizeof buffer;
    if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, buffer, &size) != ERROR_SUCCESS) {
        return 2;
    }
    if (type != REG_DWORD || size != sizeof(uint32_t)) {
        return 3;
    }
    uint32_t raw = 0;
    static_assert(sizeof raw == 4, "registry numbers are 32-bit");
    raw = static_cast<uint32_t>(buffer[0]) | (static_cast<uint32_t>(buffer[1]) << 8) |
          (static_cast<uint32_t>(buffer[2]) << 16) | (static_cast<uint32_t>(buffer[3]) << 24);
    out = static_cast<int32_t>(raw);
    return 0;
}

// static
int SystemInfo::setRegValue(const std::string& keyPath, const std::string& valueName, uint32_t type,
                            const void* bytes, uint32_t byteCount)
{
    HKEY created = nullptr;
    if (RegCreateKeyExA(currentRootKey(), keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kWriteAccess,
                        nullptr, &created, nullptr) != ERROR_SUCCESS) {
        return 1;
    }
    RegKey key(created);
    const LONG status =
        RegSetValueExA(key.get(), valueName.c_str(), 0, type, static_cast<const BYTE*>(bytes), byteCount);
    return status == ERROR_SUCCESS ? 0 : 1;
}

// static
int SystemInfo::setRegString(const std::string& keyPath, const std::string& valueName,
                             const std::string& value)
{
    // The stored byte count leaves out the terminating zero.
    return setRegValue(keyPath, valueName, REG_SZ, value.c_str(), static_cast<uint32_t>(value.size()));
}

// static
int SystemInfo::setRegNumber(const std::string& keyPath, const std::string& valueName, int32_t value)
{
    return setRegValue(keyPath, valueName, REG_DWORD, &value, sizeof value);
}

// static
int SystemInfo::getProductString(const std::string& valueName, std::string& out)
{
    return getRegString(productKey, valueName, out);
}

// static
int SystemInfo::getProductNumber(const std::string& valueName, int32_t& out)
{
    return getRegNumber(productKey, valueName, out);
}

// static
int SystemInfo::setProductString(const std::string& valueName, const std::string& value)
{
    return setRegString(productKey, valueName, value);
}

} // namespace Vorlix
