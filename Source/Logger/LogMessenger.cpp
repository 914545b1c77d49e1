// LogMessenger.cpp - turning serialised records into log lines.
//
// Win32 layer only for the thread id; the rest is the logging library's own.
#include "Logger/LogMessenger.h"

#include "Foundation/Exception.h"
#include "Foundation/Win32.h"
#include "Logger/LogRecord.h"

#include <atomic>

namespace Vorlix {

namespace {

std::atomic<const MessageCatalogue*> installedCatalogue{nullptr};
std::atomic<bool> threadIds{false};

} // namespace

void setMessageCatalogue(const MessageCatalogue* catalogue)
{
    installedCatalogue = catalogue;
}

const MessageCatalogue* messageCatalogue()
{
    return installedCatalogue;
}

void setThreadIdFlag(bool on)
{
    threadIds = on;
}

bool threadIdFlag()
{
    return threadIds;
}

uint32_t currentThreadId()
{
    return static_cast<uint32_t>(GetCurrentThreadId());
}

LogMessenger::LogMessenger()
{
    agent.open("Vorlix_Debug.log");
}

bool LogMessenger::open(const std::string& path)
{
    return agent.open(path);
}

bool LogMessenger::deliver(const std::string& recordText)
{
    LogRecord record;
    if (!parseRecord(recordText, record)) {
        return false;
    }
    bool found = false;
    const MessageCatalogue* catalogue = installedCatalogue;
    if (record.kind == RECORD_CATALOGUED && catalogue != nullptr) {
        std::string text;
        if (catalogue->lookup(record.module, record.messageNumber, text)) {
            substituteParameters(text, record.text);
            record.text = text;
            found = true;
        }
    }
    try {
        return agent.write(formatLogLine(record, found));
    } catch (TimeException& e) {
        VORLIX_HERE(e);
        return agent.write(e.fullText());
    }
}

} // namespace Vorlix
