// MessageCatalogue.h - the texts of catalogued log messages, loaded from ".mess" files.
//
// Portable header; loading reads files through the file layer. A catalogue directory holds one
// file per module, named after the module's lookup name, in "LogMessages" below the directory the
// caller gives. Each line is "number: text"; empty lines and lines starting "//" are skipped.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Vorlix {

struct CatalogueLoadResult {
    bool ok = false;
    std::string errorText; // "", "OUT OF MEMORY" or "Unknown"
    std::vector<std::string> loadedModules;
    std::vector<std::string> rejectedModules;
    std::vector<int32_t> messageCounts; // one per loaded module: message lines read
};

class MessageCatalogue {
public:
    // `filter` is "all" or a text that contains every accepted base name (case-sensitive). The
    // messages read are added; the first text of a key wins.
    CatalogueLoadResult load(const std::string& directory, const std::string& filter);
    // Takes one line of a catalogue file of `module`, without its line end: "number: text", both
    // trimmed, the number read as leadingInteger reads it. False for a line that is skipped (empty,
    // or starting "//"); an existing key keeps its text.
    bool addLine(int32_t module, const std::string& line);
    bool lookup(int32_t module, int32_t messageNumber, std::string& text) const;
    size_t size() const { return messages.size(); }

private:
    // Reads one file; answers the number of message lines.
    int32_t loadFile(const std::string& path, int32_t module);

    std::map<std::string, std::string> messages;
};

} // namespace Vorlix
