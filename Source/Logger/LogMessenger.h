// LogMessenger.h - the messenger that writes serialised records as log lines through its agent,
// and the process-wide settings it reads (the installed catalogue, the thread-id flag).
//
// No platform headers here; ThreadId.cpp asks the platform for the thread id.
#pragma once

#include "Logger/LoggerAgent.h"
#include "Logger/MessageCatalogue.h"

#include <cstdint>
#include <string>

namespace Vorlix {

class LogMessenger {
public:
    // The agent starts on "Vorlix_Debug.log" in the current directory; nothing reaches the disk
    // before the first line.
    LogMessenger();
    virtual ~LogMessenger() = default;

    LogMessenger(const LogMessenger&) = delete;
    LogMessenger& operator=(const LogMessenger&) = delete;

    bool open(const std::string& path);
    // Writes the record as one log line; false when the text is no record or the line was not
    // written.
    virtual bool deliver(const std::string& recordText);

    LoggerAgent& logAgent() { return agent; }

protected:
    LoggerAgent agent;
};

// The catalogue used to resolve catalogued records from now on (not owned; null for none).
void setMessageCatalogue(const MessageCatalogue* catalogue);
const MessageCatalogue* messageCatalogue();
void setThreadIdFlag(bool on);
bool threadIdFlag();
// The calling thread's Windows thread id.
uint32_t currentThreadId();

} // namespace Vorlix
