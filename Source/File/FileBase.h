// FileBase.h - file objects: the shared interface, and FilePlain, which writes through a working
// copy under a lock file.
//
// A FilePlain open for writing (without FILE_NOLOCK) holds "<path>.lock"; unless FILE_DIRECT is
// given it writes to "<path>.tmp", which replaces the file only when the object is closed. Every
// failure is thrown as a FileException.
//
// What an access leaves behind:
// - close commits the working copy only when every write, flush and the closing hand-over of the
//   access succeeded. Otherwise it throws the working copy away, leaves the file as it was and
//   throws FL_WRITE (a write or flush had failed) or FL_CANNOT_CLOSE (the closing hand-over
//   failed). Direct writes (FILE_DIRECT, FILE_NOLOCK) cannot be taken back: a failed write is
//   reported where it happens, the bytes that reached the file stay, and the access goes on (a
//   log keeps appending); close then throws only for a failure of its own.
// - The destructor commits an open working copy only when nothing failed and no exception is
//   unwinding past it that was not already in flight when it was opened; otherwise it discards.
// - Every write access creates a missing file: FILE_READ | FILE_WRITE (with or without
//   FILE_CREATE) on a missing path starts from an empty file instead of failing.
// - The working copy is prepared only while this access holds the lock file, so a writer that
//   loses the race for the lock never touches the winner's working copy.
// - A working copy left behind by an earlier crash (or by a close that failed with FL_RENAME) is
//   removed before a new access uses it; the
//   copy of the file onto the working copy is checked (FL_CANNOT_COPY), and skipped when the
//   access starts from an empty file anyway.
// - Each open starts from a fresh per-access state (locked, failed, file existed); nothing is
//   inferred from the lock object of an earlier access.
#pragma once

#include "File/BFile.h"
#include "File/LockFile.h"
#include "Foundation/Exception.h"
#include "Time/TimeSpan.h"

#include <cstdint>
#include <memory>
#include <string>

// <windows.h> defines an unrelated FILE_CREATE; the access flag below is the one this system means.
#ifdef FILE_CREATE
#undef FILE_CREATE
#endif

namespace Vorlix {

enum FileAccess : uint16_t {
    FILE_READ = 0x01,
    FILE_WRITE = 0x02,
    FILE_TRUNCATE = 0x04,
    FILE_CREATE = 0x08,
    FILE_APPEND = 0x10,
    FILE_DIRECT = 0x20,
    FILE_NOLOCK = 0x40,
};

class FileBase {
public:
    explicit FileBase(const std::string& path) : fileName(path) {}
    virtual ~FileBase() = default;

    FileBase(const FileBase&) = delete;
    FileBase& operator=(const FileBase&) = delete;

    virtual void open(uint16_t access) = 0;
    virtual void close() = 0;
    virtual void discard() = 0;
    virtual bool read(std::string& out, uint64_t count) = 0;
    virtual uint64_t readBytes(char* buffer, uint64_t count) = 0;
    virtual bool write(const std::string& text) = 0;
    virtual uint64_t writeBytes(const char* bytes, uint64_t length) = 0;
    virtual std::string readLine() = 0;
    virtual bool writeLine(const std::string& text) = 0;
    virtual bool flush() = 0;
    // Origins: 0 from the start, 1 from the current position, 2 from the end.
    virtual int64_t seek(int64_t offset, int32_t origin) = 0;
    virtual int64_t tell() = 0;
    virtual bool eof() = 0;

    std::string name() const { return fileName; }
    std::string baseName() const;
    uint32_t size() const;
    int64_t position() const { return pos; }
    bool isClosed() const { return closed; }

    // How long a lock taken by this object stays valid for other processes (30 s unless changed).
    void setLockPeriod(const TimeSpan& period) { lockPeriod = period; }

protected:
    const std::string fileName;
    bool usingWorkCopy = false;
    uint16_t flags = 0;
    int64_t pos = 0;
    bool closed = true;
    std::unique_ptr<LockFile> lock;
    TimeSpan lockPeriod{30};

    // The state of the current access, reset by every open.
    bool lockedAccess = false; // this access took the lock
    bool accessFailed = false; // a write or flush of this access failed
    bool pathWasNew = false;   // the file did not exist when this access took the lock
    int unwindingAtOpen = 0;   // exceptions in flight when this access was opened
};

class FilePlain : public FileBase {
public:
    explicit FilePlain(const std::string& path) : FileBase(path) {}
    ~FilePlain() override;

    void open(uint16_t access) override;
    void close() override;
    void discard() override;
    bool read(std::string& out, uint64_t count) override;
    uint64_t readBytes(char* buffer, uint64_t count) override;
    bool write(const std::string& text) override;
    uint64_t writeBytes(const char* bytes, uint64_t length) override;
    std::string readLine() override;
    bool writeLine(const std::string& text) override;
    bool flush() override;
    int64_t seek(int64_t offset, int32_t origin) override;
    int64_t tell() override;
    bool eof() override;

private:
    std::string workCopyPath() const { return fileName + ".tmp"; }
    std::string streamErrorText() const;
    // Throw FL_IS_CLOSED, FL_CANNOT_READ or FL_EOF (reading), FL_IS_CLOSED or FL_CANNOT_WRITE
    // (writing) before an access the object cannot make.
    void checkReadable();
    void checkWritable();
    bool replaceByWorkCopy();
    // Removes a stale working copy and, unless the access starts empty, copies the file onto it.
    void prepareWorkCopy(bool fileExists, bool startsEmpty);
    // Ends the access without committing: releases the lock, removes the working copy and, with
    // `removeNewFile`, a file this access created. Answers whether the lock could be released.
    bool abandonAccess(bool removeNewFile);
    // Remembers that the working copy can no longer be trusted, then throws FL_WRITE.
    [[noreturn]] void writeFailed();

    BFile stream;
};

} // namespace Vorlix
