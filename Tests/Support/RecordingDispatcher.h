// RecordingDispatcher.h - a log dispatcher that keeps every record it is given, for tests that
// check what a module logs, at which level and in which order.
//
// Portable test code.
#pragma once

#include "Logger/LoggerUnit.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace TestSupport {

// One record as a test compares it: "D<level> <text>" for debug records, "<SEVERITY> <number>
// [<parameters separated by |>]" for catalogued ones.
inline std::string describeRecord(const Vorlix::LogRecord& record)
{
    if (record.kind == Vorlix::RECORD_DEBUG) {
        return "D" + std::to_string(record.debugLevel) + " " + record.text;
    }
    static const char* const severities[] = {"NOTICE", "WARNING", "ERROR", "CRITICAL", "FATAL"};
    std::string out = (record.severity >= 0 && record.severity <= 4) ? severities[record.severity] : "?";
    out += " " + std::to_string(record.messageNumber) + " [";
    bool first = true;
    std::string entry;
    for (char c : record.text) {
        if (c != Vorlix::ParameterList::SEPARATOR) {
            entry += c;
            continue;
        }
        out += (first ? "" : "|") + (entry.empty() ? entry : entry.substr(1));
        first = false;
        entry.clear();
    }
    return out + "]";
}

class RecordingDispatcher : public Vorlix::LogDispatcher {
public:
    RecordingDispatcher() : Vorlix::LogDispatcher(1) {}

    bool deliver(Vorlix::LogRecord record) override
    {
        std::function<void(const Vorlix::LogRecord&)> observer;
        {
            std::lock_guard<std::mutex> hold(lock);
            records.push_back(record);
            observer = onRecord;
        }
        if (observer) {
            observer(record);
        }
        return true;
    }

    // Every record so far, described; `clear` forgets them.
    std::vector<std::string> lines() const
    {
        std::lock_guard<std::mutex> hold(lock);
        std::vector<std::string> out;
        for (const auto& record : records) {
            out.push_back(describeRecord(record));
        }
        return out;
    }

    void clear()
    {
        std::lock_guard<std::mutex> hold(lock);
        records.clear();
    }

    // Called on the logging thread after each record is stored.
    void observe(std::function<void(const Vorlix::LogRecord&)> observer)
    {
        std::lock_guard<std::mutex> hold(lock);
        onRecord = std::move(observer);
    }

private:
    mutable std::mutex lock;
    std::vector<Vorlix::LogRecord> records;
    std::function<void(const Vorlix::LogRecord&)> onRecord;
};

} // namespace TestSupport
