// LockFile.cpp - taking, reading and removing lock files.
#include "File/LockFile.h"

#include "File/FileOps.h"
#include "Foundation/Exception.h"

#include <atomic>
#include <chrono>
#include <ctime>

namespace Vorlix {

namespace {

// Seeded from the time as well as from sources that differ between objects and processes made in
// the same second: two holders must never draw the same id.
std::minstd_rand::result_type idSeed()
{
    static std::atomic<uint32_t> objects{0};
    std::random_device device;
    std::seed_seq sequence{
        static_cast<uint32_t>(std::time(nullptr)), device(), objects.fetch_add(1),
        static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    std::minstd_rand::result_type seed = 0;
    sequence.generate(&seed, &seed + 1);
    return seed;
}

// Owns the handle of an exclusively created file.
struct ExclusiveHold {
    explicit ExclusiveHold(void* created) : handle(created) {}
    ~ExclusiveHold() { close(); }
    ExclusiveHold(const ExclusiveHold&) = delete;
    ExclusiveHold& operator=(const ExclusiveHold&) = delete;
    void close()
    {
        FileOps::closeExclusive(handle);
        handle = nullptr;
    }
    void* handle;
};

} // namespace

LockFile::LockFile(const std::string& lockedPath) : path(lockedPath), random(idSeed())
{
    self = makeId();
    existedBefore = FileOps::exists(path);

    held = true;
    if (!FileOps::exists(lockPath())) {
        held = false;
        return;
    }
    BFile reader;
    if (!reader.open(lockPath(), 1)) {
        return;
    }
    try {
        std::string line = reader.readLine();
        if (line.empty() && reader.lastError() != 0) {
            return;
        }
        created = DateTime(DateTime::parse(line));
        line = reader.readLine();
        if (line.empty() && reader.lastError() != 0) {
            return;
        }
        expires = DateTime(DateTime::parse(line));
        line = reader.readLine();
        if (line.empty() && reader.lastError() != 0) {
            return;
        }
        owner = line;
        originalForm = reader.readLine() == "original";
    } catch (TimeException& e) {
        VORLIX_RETHROW(e);
    }
}

LockFile::~LockFile()
{
    originalStream.close();
    lockStream.close();
}

std::string LockFile::makeId()
{
    std::string id = DateTime::timeText(DateTime().timeFields(), true, false);
    for (int i = 0; i < 10; ++i) {
        id.push_back(static_cast<char>(random() % 94 + 32));
    }
    return id;
}

bool LockFile::lock(const TimeSpan& period, bool original, const std::function<bool()>& whileLocked)
{
    created = DateTime();
    expires = created + period;
    if (held) {
        return false;
    }
    // Created exclusively and kept open until the lines are written and the stream holds it, so
    // two writers can never both take the lock and no one can delete it meanwhile.
    ExclusiveHold exclusive(FileOps::createExclusive(lockPath()));
    if (exclusive.handle == nullptr) {
        return false;
    }
    if (!lockStream.open(lockPath(), 2)) {
        exclusive.close();
        FileOps::deleteFile(lockPath());
        return false;
    }
    const bool written = lockStream.writeLine(created.toString(true, true, false)) &&
                         lockStream.writeLine(expires.toString(true, true, false)) &&
                         lockStream.writeLine(self) &&
                         lockStream.writeLine(original ? "original" : "missing") && lockStream.flush();
    if (!written) {
        // A half-written lock file would keep every other writer out (or make it fail on the
        // unreadable dates) although no one holds it: this object created it, so it goes.
        lockStream.close();
        exclusive.close();
        FileOps::deleteFile(lockPath());
        return false;
    }
    exclusive.close();
    if (whileLocked && !whileLocked()) {
        lockStream.close();
        FileOps::deleteFile(lockPath());
        return false;
    }
    if (original) {
        // Held in append mode: a missing file is created empty, an existing one keeps its content.
        if (!originalStream.open(path, 6)) {
            lockStream.close();
            FileOps::deleteFile(lockPath());
            return false;
        }
    }
    held = true;
    owner = self;
    originalForm = original;
    return true;
}

void LockFile::releaseOriginal()
{
    originalStream.close();
}

bool LockFile::unlock()
{
    if (!held) {
        return true;
    }
    if (owner != self && DateTime() < expires) {
        return false; // another holder's lock that is still valid
    }
    if (owner == self) {
        if (originalForm) {
            originalStream.close();
        }
        lockStream.close();
        FileOps::deleteFile(lockPath());
    } else if (!FileOps::deleteFile(lockPath())) {
        return false;
    }
    held = false;
    return true;
}

} // namespace Vorlix
