// LockFile.h - the lock file that keeps other writers away from a file.
//
// Win32 layer through FileOps. The lock file lies next to the file, named after it with ".lock"
// appended, and holds four lines, each ended by a line feed:
//   1 when it was taken, 2 when it expires (both basic UTC, "20080519T065523Z"),
//   3 the holder's id (basic UTC time of day and ten random characters),
//   4 "original" when the holder keeps the locked file itself open, else "missing".
// The holder keeps the lock file open until unlock, so another process cannot delete it while the
// holder lives; the expiry matters once a holder has ended without removing it.
#pragma once

#include "File/BFile.h"
#include "Time/DateTime.h"
#include "Time/TimeSpan.h"

#include <functional>
#include <random>
#include <string>

namespace Vorlix {

class LockFile {
public:
    // Reads an existing lock file; a malformed date-time line throws TimeException.
    explicit LockFile(const std::string& path);
    ~LockFile();

    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    bool isHeld() const { return held; }
    bool originalExisted() const { return existedBefore; }

    // Takes the lock for `period`; refused while held, or when another writer created the lock
    // file first (it is created exclusively). `whileLocked`, when given, runs once the lock file
    // is ours and before the locked file itself is held open: the place for work on the file
    // that no other writer may see half done and that an open hold would block (copying it).
    // When it answers false the lock is given up again and lock answers false.
    bool lock(const TimeSpan& period, bool original, const std::function<bool()>& whileLocked = {});
    // Releases this object's lock, or removes another holder's expired one.
    bool unlock();
    // Lets go of the locked file itself (original form) while the lock file stays, so that the
    // file can be replaced before the lock lets another writer in.
    void releaseOriginal();

    const std::string& ownerId() const { return owner; }
    const std::string& ownId() const { return self; }
    const DateTime& createdAt() const { return created; }
    const DateTime& expiresAt() const { return expires; }
    bool isOriginalForm() const { return originalForm; }
    std::string lockPath() const { return path + ".lock"; }

private:
    std::string makeId();

    std::string path;
    BFile originalStream;
    BFile lockStream;
    DateTime created;
    DateTime expires;
    std::string owner;
    std::string self;
    bool held = false;
    bool existedBefore = false;
    bool originalForm = false;
    std::minstd_rand random;
};

} // namespace Vorlix
