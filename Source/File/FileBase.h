// FileBase.h - file objects: the shared interface, and FilePlain, which writes through a working
// copy under a lock file.
//
// A FilePlain open for writing (without FILE_NOLOCK) holds "<path>.lock"; unless FILE_DIRECT is
// given it writes to "<path>.tmp", which replaces the file only when the object is closed. Every
// failure is thrown as a FileException.
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

    BFile stream;
};

} // namespace Vorlix
