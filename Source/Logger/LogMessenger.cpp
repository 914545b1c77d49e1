// LogMessenger.cpp - turning serialised records into log lines.
//
// No platform headers: the process-wide settings are in LogSettings.cpp, the thread id in
// ThreadId.cpp.
#include "Logger/LogMessenger.h"

#include "Foundation/Exception.h"
#include "Logger/LogRecord.h"

namespace Vorlix {

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
    const MessageCatalogue* catalogue = messageCatalogue();
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
