// FileFaults.cpp - the armed fault plan, shared by every thread of the process.
//
// Portable: no platform headers.
#include "File/FileFaults.h"

#include <atomic>
#include <mutex>

namespace Vorlix {
namespace FileFaults {

namespace {

std::atomic<bool> armed{false};
std::mutex planLock;
Plan current;

bool applies(const std::string& path)
{
    const std::string& end = current.pathEndsWith;
    return end.empty() ||
           (path.size() >= end.size() && path.compare(path.size() - end.size(), end.size(), end) == 0);
}

} // namespace

void arm(const Plan& plan)
{
    std::lock_guard<std::mutex> guard(planLock);
    current = plan;
    armed = true;
}

void disarm()
{
    std::lock_guard<std::mutex> guard(planLock);
    armed = false;
    current = Plan();
}

uint64_t allowedWrite(const std::string& path, uint64_t length)
{
    if (!armed) {
        return length;
    }
    std::lock_guard<std::mutex> guard(planLock);
    if (!applies(path) || current.writeBudget < 0) {
        return length;
    }
    const uint64_t budget = static_cast<uint64_t>(current.writeBudget);
    const uint64_t allowed = length < budget ? length : budget;
    current.writeBudget -= static_cast<int64_t>(allowed);
    return allowed;
}

bool flushFails(const std::string& path)
{
    if (!armed) {
        return false;
    }
    std::lock_guard<std::mutex> guard(planLock);
    return applies(path) && current.failFlush;
}

bool copyFails(const std::string& to)
{
    if (!armed) {
        return false;
    }
    std::lock_guard<std::mutex> guard(planLock);
    return applies(to) && current.failCopy;
}

} // namespace FileFaults
} // namespace Vorlix
