// Initializer.cpp - command line, root, configuration directory, feedback and status of the
// configuration initializer, and its option c on the XML configuration object files.
//
// Win32 program code: the message box and the sleeps come from the platform here.
#include "Sedrin/Initializer.h"

#include "File/FileBase.h"
#include "File/FileOps.h"
#include "Foundation/Monopoly.h"
#include "Foundation/StringUtils.h"
#include "Foundation/SystemInfo.h"
#include "Foundation/Win32.h"
#include "Sedrin/XmlObjects.h"
#include "Time/Timer.h"

#include <cctype>
#include <climits>
#include <cstdio>

using Vorlix::SystemInfo;

const char* const Initializer::installationKey = "Vorlix_Installation";

namespace {

constexpr int kWaitTests = 50;
constexpr uint32_t kWaitMilliseconds = 100;

// Like atoi: leading blanks, an optional sign, the digits up to the first other character; 0 when
// there are none. Clamped instead of overflowing.
int32_t decimalValue(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i] - '0');
        if (value > INT32_MAX) {
            value = static_cast<long long>(INT32_MAX) + 1;
        }
        ++i;
    }
    if (negative) {
        value = -value;
    }
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    return static_cast<int32_t>(value < INT32_MIN ? INT32_MIN : value);
}

} // namespace

// static
bool Initializer::writeToStandardOutput(const std::string& text)
{
    // A window program has a standard output only when its starter handed one over (an installer
    // that captures the output, a console that redirects it); otherwise the handle is null.
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) {
        return false;
    }
    size_t done = 0;
    while (done < text.size()) {
        const size_t left = text.size() - done;
        const DWORD chunk = left > 65536 ? 65536 : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(output, text.data() + done, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

Initializer::Initializer(const std::string& commandText)
{
    writeStatus();

    componentFiles = {
        {"Vorlix", "Vorlix.xml"},
        {"agent", "Components/agent.xml"},
        {"alarm", "Components/alarm.xml"},
        {"archive", "Components/archive.xml"},
        {"collector", "Components/collector.xml"},
        {"console", "Components/console.xml"},
        {"core", "Components/core.xml"},
        {"database", "Components/database.xml"},
        {"export", "Components/export.xml"},
        {"log", "Components/log.xml"},
        {"monitor", "Components/monitor.xml"},
        {"network", "Components/network.xml"},
        {"notify", "Components/notify.xml"},
        {"probe", "Components/probe.xml"},
        {"recorder", "Components/recorder.xml"},
        {"report", "Components/report.xml"},
        {"scheduler", "Components/scheduler.xml"},
        {"security", "Components/security.xml"},
        {"sentinel", "Components/sentinel.xml"},
        {"trace", "Components/log.xml"}, // the trace settings live in the log component's file
        {"update", "Components/update.xml"},
        {"viewer", "Components/viewer2.xml"},
    };

    SystemInfo::selectRoot("HKEY_CLASSES_ROOT");
    std::string registryRoot;
    if (SystemInfo::getRegString(installationKey, "VORLIXROOT", registryRoot) == 0) {
        root = registryRoot;
        // Option r records the root without a trailing separator; the file paths are built by
        // appending to the root, so a root read back gets its separator as option r gives it one.
        if (!root.empty() && root.back() != '\\' && root.back() != '/') {
            root += '\\';
        }
    }

    Vorlix::OptionList pairs;
    Vorlix::splitCommandLine(commandText, pairs);

    // One initializer at a time on a machine; a second one waits for the first.
    Vorlix::Monopoly guard("SedrinMonopoly");
    while (!guard.acquire()) {
        Vorlix::Timer::sleep(kWaitMilliseconds);
    }

    status = processOptions(pairs);
    writeStatus();
    if (!messages.empty()) {
        writeToStandardOutput(messages);
        MessageBoxA(nullptr, messages.c_str(), "Verbose output", MB_OK);
    }
    guard.release();
}

int32_t Initializer::finish()
{
    writeStatus();
    return status;
}

void Initializer::reportError(const std::string& text)
{
    if (verbosity >= 1) {
        messages += "ERROR:  " + text + "\n";
    }
}

void Initializer::reportNotice(const std::string& text)
{
    if (verbosity >= 2) {
        messages += "NOTICE: " + text + "\n";
    }
}

void Initializer::writeStatus()
{
    if (!recordStatus(status)) {
        reportError("Unable to set Registry value \"SEDRIN_STATUS\".");
    }
}

// static
bool Initializer::recordStatus(int32_t value)
{
    SystemInfo::selectRoot("HKEY_CLASSES_ROOT");
    char text[16];
    std::snprintf(text, sizeof text, "%i", static_cast<int>(value));
    return SystemInfo::setRegString(installationKey, "SEDRIN_STATUS", text) != 1;
}

int32_t Initializer::processOptions(const Vorlix::OptionList& pairs)
{
    for (const auto& pair : pairs) {
        if (pair.first.size() != 1) {
            continue;
        }
        switch (pair.first[0]) {
        case 'c':
            status = changeObject(pair.second);
            if (status != ST_OK) {
                return status;
            }
            break;
        case 'd': {
            const int32_t result = setConfigDir(pair.second);
            if (result != ST_OK) {
                return result;
            }
            break;
        }
        case 'r':
            status = setRoot(pair.second);
            if (status != ST_OK) {
                return status;
            }
            break;
        case 'v':
            verbosity = decimalValue(pair.second);
            break;
        default:
            break;
        }
    }
    return ST_OK;
}

int32_t Initializer::setConfigDir(const std::string& path)
{
    configDir = path;
    Vorlix::FileUtils::normalizeSeparators(configDir);
    Vorlix::FileUtils::stripTrailingSeparators(configDir);
    if (Vorlix::FileOps::exists(configDir) && Vorlix::FileOps::exists(configDir + "\\Components")) {
        return ST_OK;
    }
    configDir.clear();
    reportError("Configuration dir specified by command line is invalid.");
    return ST_INVALID_CONFIG_DIR;
}

int32_t Initializer::setRoot(const std::string& path)
{
    std::string checked = path;
    Vorlix::trim(checked);
    if (checked.empty()) {
        reportError("Invalid root. (Root empty.)");
        return ST_INVALID_ROOT;
    }
    Vorlix::FileUtils::normalizeSeparators(checked);
    Vorlix::FileUtils::stripTrailingSeparators(checked);
    if (!Vorlix::FileOps::exists(checked)) {
        reportError("Invalid root. (" + checked + " does not exist.)");
        return ST_INVALID_ROOT;
    }
    root = path;
    if (root.back() != '\\' && root.back() != '/') {
        root += '\\';
    }
    SystemInfo::selectRoot("HKEY_CLASSES_ROOT");
    SystemInfo::setRegString(installationKey, "VORLIXROOT", path);
    changeObject("Vorlix.directories.root=" + path);
    reportNotice("Set root = \"" + path + "\".");
    return ST_OK;
}

int32_t Initializer::changeObject(const std::string& argument)
{
    if (root.empty()) {
        reportError("(-c option) Root not set.");
        return ST_ROOT_NOT_SET;
    }
    if (argument.find('=') == std::string::npos) {
        reportError("(-c option) Invalid argument. Missing '='.");
        return ST_MISSING_EQUALS;
    }
    std::string value = argument;
    std::string objectPath = Vorlix::cut(value, '=');
    Vorlix::trim(objectPath);
    Vorlix::trim(value);
    const bool copyForm = !value.empty() && value[0] == '>';
    if (copyForm) {
        value.erase(0, 1);
        Vorlix::trim(value);
    }

    std::string pathInFile = objectPath;
    const std::string fileKey = Vorlix::cut(pathInFile, '.');
    const auto entry = componentFiles.find(fileKey);
    if (entry == componentFiles.end()) {
        reportError("(-c option) Invalid argument. File for \"" + fileKey + "\" object not found.");
        return ST_NO_FILE_FOR_OBJECT;
    }
    const std::string filePath =
        configDir.empty() ? root + "Configuration\\" + entry->second : configDir + "\\" + entry->second;

    std::string content;
    const int32_t loaded = loadFile(filePath, content);
    if (loaded != ST_OK) {
        return loaded;
    }

    if (copyForm) {
        if (!XmlObjects::copyObject(pathInFile, content, value)) {
            reportError("(-c option) Object \"" + pathInFile + "\" could not be copied to \"" + value +
                        "\".");
            return ST_COPY_FAILED;
        }
    } else {
        switch (XmlObjects::setValue(pathInFile, content, value)) {
        case XmlObjects::SetResult::NoValueTag:
            reportError("(-c option) Object \"" + pathInFile + "\" not found in file \"" + filePath + "\".");
            return ST_OBJECT_NOT_FOUND;
        case XmlObjects::SetResult::NoValueEnd:
            reportError("(-c option) File \"" + filePath + "\" is corrupted.");
            return ST_FILE_CORRUPTED;
        case XmlObjects::SetResult::Set:
            break;
        }
    }
    return saveFile(filePath, content);
}

int32_t Initializer::loadFile(const std::string& path, std::string& content)
{
    reportNotice("Loading file \"" + path + "\"...");
    try {
        for (int test = 0; test < kWaitTests && !Vorlix::FileOps::exists(path); ++test) {
            Vorlix::Timer::sleep(kWaitMilliseconds);
        }
    } catch (...) {
        reportError("    File does not exist.");
        return ST_LOAD_FAILED;
    }
    try {
        Vorlix::FilePlain file(path);
        file.open(Vorlix::FILE_READ);
        const uint32_t size = file.size();
        file.read(content, size);
        file.close();
    } catch (const Vorlix::Exception&) {
        reportError("    Failed to load file.");
        return ST_LOAD_FAILED;
    }
    reportNotice("    File loaded.");
    return ST_OK;
}

int32_t Initializer::saveFile(const std::string& path, const std::string& content)
{
    reportNotice("Saving file \"" + path + "\"...");
    try {
        for (int test = 0; test < kWaitTests && Vorlix::FileOps::exists(path + ".lock"); ++test) {
            Vorlix::Timer::sleep(kWaitMilliseconds);
        }
    } catch (...) {
        reportError("    Failed to get access to file.");
        return ST_SAVE_FAILED;
    }
    try {
        Vorlix::FilePlain file(path);
        file.open(Vorlix::FILE_WRITE | Vorlix::FILE_TRUNCATE | Vorlix::FILE_CREATE);
        file.write(content);
        file.close();
    } catch (const Vorlix::Exception&) {
        reportError("     Failed to save file.");
        return ST_SAVE_FAILED;
    }
    reportNotice("    File saved.");
    return ST_OK;
}
