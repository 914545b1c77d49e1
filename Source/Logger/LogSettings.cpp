// LogSettings.cpp - the process-wide settings of the logging chain: the installed message
// catalogue and the thread-id flag.
//
// Portable: no platform headers; must stay so (the logger units are built natively and fuzzed).
#include "Logger/LogMessenger.h"

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

} // namespace Vorlix
