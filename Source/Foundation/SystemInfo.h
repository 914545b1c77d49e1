// SystemInfo.h - the small facade over the Windows registry.
//
// Win32 layer (the platform types stay in SystemInfo.cpp). Every operation works under the current
// root ("HKEY_LOCAL_MACHINE" unless selectRoot changed it) and answers a small result code; nothing
// here throws.
//   getRegString: 0 read, 1 out of memory, 2 key or value missing, 3 not a string type
//   getRegNumber: 0 read, 2 key or value missing, 3 not a 32-bit number
//   set*:         0 written, 1 failed
// Outputs are written only on result 0.
#pragma once

#include <cstdint>
#include <string>

namespace Vorlix {

class SystemInfo {
public:
    static const char* const productKey; // "SOFTWARE\Vorlix\Resources"

    // How deep "${name}" references are followed through other values, and how many look-ups
    // one read may make in all; a reference met past either bound (a value that refers to itself,
    // directly or not) is left in place, so every read ends.
    static constexpr int maxExpansionDepth = 5;
    static constexpr int maxExpansionLookups = 64;

    static bool selectRoot(const std::string& rootName);
    static const std::string& currentRoot();

    static int getRegString(const std::string& keyPath, const std::string& valueName, std::string& out);
    static int getRegNumber(const std::string& keyPath, const std::string& valueName, int32_t& out);
    static int setRegString(const std::string& keyPath, const std::string& valueName,
                            const std::string& value);
    static int setRegNumber(const std::string& keyPath, const std::string& valueName, int32_t value);
    static int setRegValue(const std::string& keyPath, const std::string& valueName, uint32_t type,
                           const void* bytes, uint32_t byteCount);

    static int getProductString(const std::string& valueName, std::string& out);
    static int getProductNumber(const std::string& valueName, int32_t& out);
    static int setProductString(const std::string& valueName, const std::string& value);

private:
    static int readString(const std::string& keyPath, const std::string& valueName, std::string& out,
                          int depth, int& lookupsLeft);
    static void expandReferences(std::string& text, int depth, int& lookupsLeft);
};

} // namespace Vorlix
