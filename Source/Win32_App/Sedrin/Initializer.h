// Initializer.h - the configuration initializer's application object.
//
// Win32 program code. The constructor does the whole run on one thread: status 0 to the registry,
// the root from the registry, the machine-wide guard, the options in order, the status again and
// the collected feedback, on the standard output when there is one and in the message box.
#pragma once

#include "Foundation/CommandLine.h"

#include <cstdint>
#include <map>
#include <string>

class Initializer {
public:
    // The status numbers: also the process exit code.
    enum Status : int32_t {
        ST_OK = 0,
        ST_MISSING_EQUALS = 1,
        ST_INVALID_ROOT = 2,
        ST_NO_FILE_FOR_OBJECT = 3,
        ST_ROOT_NOT_SET = 4,
        ST_LOAD_FAILED = 5,
        ST_SAVE_FAILED = 6,
        ST_OBJECT_NOT_FOUND = 7,
        ST_FILE_CORRUPTED = 8,
        ST_INVALID_CONFIG_DIR = 9,
        ST_COPY_FAILED = 10,
    };

    static const char* const installationKey; // "Vorlix_Installation" under HKEY_CLASSES_ROOT

    explicit Initializer(const std::string& commandText);
    virtual ~Initializer() = default;

    Initializer(const Initializer&) = delete;
    Initializer& operator=(const Initializer&) = delete;

    int32_t finish();

    void reportError(const std::string& text);
    void reportNotice(const std::string& text);
    void writeStatus();
    // Writes a status to the registry without an object, for the entry's last resort; false when
    // the value could not be set.
    static bool recordStatus(int32_t value);
    // Writes the feedback to the standard output when the process has one; false when it has none
    // or the write failed (the message box shows the feedback either way).
    static bool writeToStandardOutput(const std::string& text);
    int32_t processOptions(const Vorlix::OptionList& pairs);
    int32_t setConfigDir(const std::string& path);
    int32_t setRoot(const std::string& path);
    int32_t changeObject(const std::string& argument);

    int32_t loadFile(const std::string& path, std::string& content);
    int32_t saveFile(const std::string& path, const std::string& content);

    const std::string& getMessages() const { return messages; }
    const std::string& getRoot() const { return root; }
    const std::string& getConfigDir() const { return configDir; }
    int32_t getStatus() const { return status; }
    int32_t getVerbosity() const { return verbosity; }
    const std::map<std::string, std::string>& getComponentFiles() const { return componentFiles; }

private:
    std::map<std::string, std::string> componentFiles;
    std::string root;
    std::string configDir;
    int32_t verbosity = 1;
    std::string messages;
    int32_t status = ST_OK;
};
