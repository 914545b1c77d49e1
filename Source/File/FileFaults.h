// FileFaults.h - a seam for injecting file-system failures into the file layer.
//
// Portable: no platform headers. Tests arm a plan; the stream and the file operations consult it
// before they touch the disk. With no plan armed every query answers "no fault" after one atomic
// load, so production code pays nothing measurable. A plan applies only to paths that end in
// `pathEndsWith` (all paths when it is empty), so a plan for "f.txt.tmp" leaves "f.txt.lock"
// alone, and stays armed until disarmed.
#pragma once

#include <cstdint>
#include <string>

namespace Vorlix {
namespace FileFaults {

struct Plan {
    std::string pathEndsWith;
    // Bytes that writes may still hand to the file before they fail, as on a disk that fills
    // up; -1 for no limit. A write that crosses the budget stores the bytes up to it.
    int64_t writeBudget = -1;
    // Handing buffered bytes to the file fails (flush and the flush of close).
    bool failFlush = false;
    // Copying a file onto another fails, leaving no target.
    bool failCopy = false;
};

void arm(const Plan& plan);
void disarm();

// How many of `length` bytes a write to `path` may store; less than `length` means the write fails.
uint64_t allowedWrite(const std::string& path, uint64_t length);
bool flushFails(const std::string& path);
bool copyFails(const std::string& to);

// Arms a plan for the lifetime of the object.
class ScopedPlan {
public:
    explicit ScopedPlan(const Plan& plan) { arm(plan); }
    ~ScopedPlan() { disarm(); }
    ScopedPlan(const ScopedPlan&) = delete;
    ScopedPlan& operator=(const ScopedPlan&) = delete;
};

} // namespace FileFaults
} // namespace Vorlix
