// ConfReader.h - reading a configuration file into an object tree, and the typed look-ups on it.
//
// Reading the file goes through FilePlain and the guard is a Monopoly (the Win32 layers, used by
// ConfReaderFile.cpp and the guard member); the tokenizer, the parser, building the tree from a
// text and the look-ups are portable. Only buildTree takes the reader's guard, so
// two rebuilds of one reader never overlap. The look-ups take no guard and must not run while the
// same reader rebuilds its tree: in the watchdog the rebuild and the look-ups run on one thread.
//
// Look-ups answer a result code (ConfResult); values may refer to other objects with
// "${dotted.path}", which is replaced by that object's raw value.
#pragma once

#include "Config/ConfNode.h"
#include "Foundation/CountedHandle.h"
#include "Foundation/Monopoly.h"
#include "Foundation/StringUtils.h"
#include "Logger/LoggerUnit.h"
#include "Time/TimeSpan.h"

#include <cstdint>
#include <list>
#include <memory>
#include <string>

namespace Vorlix {

enum ConfResult : int32_t {
    CONF_OK = 0,
    CONF_NO_VALUE = 1,
    CONF_NOT_FOUND = 2,
    CONF_WRONG_TYPE = 3,
    CONF_BAD_BOOL = 4,
    CONF_BAD_TIMESPAN = 5,
    CONF_BAD_REFERENCE = 6,
};

// The configuration module's number and its catalogue messages.
constexpr int32_t kConfigurationModule = 1;
constexpr int32_t kMsgCannotReadFile = 1;
constexpr int32_t kMsgSyntaxError = 2;
constexpr int32_t kMsgUnterminatedReference = 3;
constexpr int32_t kMsgNoGuard = 15;

// Reference expansion stops with CONF_BAD_REFERENCE after this many replacements, or when the
// value grows past this many bytes (or its raw length, if that is larger): a value that refers to
// itself, directly or through others, would otherwise be expanded without end.
constexpr int32_t kMaxReferenceExpansions = 100;
constexpr size_t kMaxExpandedLength = 64 * 1024;

class ConfReader {
public:
    explicit ConfReader(CountedHandle<LogDispatcher> dispatcher);
    virtual ~ConfReader();

    ConfReader(const ConfReader&) = delete;
    ConfReader& operator=(const ConfReader&) = delete;

    // Reads and parses `fileName` and replaces the tree. Failures are logged, not thrown: a file
    // that cannot be read leaves the old tree; a syntax error leaves the complete top-level objects
    // read before it.
    void buildTree(const std::string& fileName);
    // Replaces the tree with the objects of `content`, as buildTree does with a file's bytes;
    // `sourceName` stands for the file name in the log. Takes the reader's guard like buildTree.
    void buildTreeFromText(const std::string& content, const std::string& sourceName);

    // The node of a dotted path, or null.
    ConfNode* findNode(const std::string& path) const;
    // The root of the tree, or null before the first buildTree.
    const ConfNode* root() const { return rootNode.get(); }

    int32_t getValue(const std::string& path, const std::string& type, std::string& result) const;
    int32_t getString(const std::string& path, std::string& result, bool trimBlanks, bool lowerCase) const;
    int32_t getBool(const std::string& path, bool& result) const;
    // The leading decimal number of the value (0 if there is none), clamped to the 32-bit range.
    int32_t getInteger(const std::string& path, int32_t& result) const;
    int32_t getDirName(const std::string& path, std::string& result) const;
    int32_t getTimeSpan(const std::string& path, TimeSpanFields& result) const;
    // Appends the names of the object's children, in file order; the list is not cleared.
    int32_t getSubObjects(const std::string& path, std::list<std::string>& names) const;

private:
    // The parse step of both builds, under the guard the caller holds.
    void replaceTree(const std::string& content, const std::string& sourceName);
    int32_t expandReferences(const std::string& path, std::string& result) const;
    void debug(int32_t level, const char* text) const;
    void debug(int32_t level, const char* format, ParameterList parameters) const;

    std::unique_ptr<ConfNode> rootNode;
    CountedHandle<LoggerUnit> logger;
    Monopoly guard;
};

} // namespace Vorlix
