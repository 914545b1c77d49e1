// LogVocabulary.h - the names shared by every log record: severities, modules and applications.
//
// Portable: no platform headers. Lookups by name lower-case the name first (modules and
// applications); severity names compare exactly.
#pragma once

#include <cstdint>
#include <string>

namespace Vorlix {

// Answer of moduleNumber for a name outside the table.
constexpr int32_t MODULE_UNKNOWN = 46;
// Answer of severityNumber for a name that is no severity.
constexpr int32_t SEVERITY_UNKNOWN = 6;
// Threshold that lets no catalogued record pass ("NONE", "NOTHING").
constexpr int32_t SEVERITY_NOTHING = 5;

constexpr int32_t MODULE_CORE = 0;
constexpr int32_t MODULE_CONFIGURATION = 1;
constexpr int32_t MODULE_LOGGER = 2;
constexpr int32_t MODULE_TIME = 4;
constexpr int32_t MODULE_IPC = 6;
constexpr int32_t MODULE_SENTINEL = 23;

constexpr int32_t APPLICATION_CORE = 1;
constexpr int32_t APPLICATION_SEDRIN = 4;
constexpr int32_t APPLICATION_SENTINEL = 20;

std::string severityName(int32_t severity);
int32_t severityNumber(const std::string& name);

// The display name of a module number; "<<Unknown>>" for 11 and outside 0 to 39.
std::string moduleName(int32_t module);
int32_t moduleNumber(const std::string& name);

// The display name of an application number; "<<Unknown>>" for 0 and outside 1 to 35.
std::string applicationName(int32_t application);
// 0 for a name outside the table.
int32_t applicationNumber(const std::string& name);

} // namespace Vorlix
