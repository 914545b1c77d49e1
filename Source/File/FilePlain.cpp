// FilePlain.cpp - file objects with safe update.
#include "File/FileBase.h"

#include "File/FileOps.h"

#include <cstring>
#include <exception>
#include <new>

namespace Vorlix {

namespace {

constexpr int kReplaceAttempts = 10;
constexpr int32_t kReplaceWaitSeconds = 2;

} // namespace

std::string FileBase::baseName() const
{
    const auto last = fileName.find_last_of("\\/");
    return last == std::string::npos ? fileName : fileName.substr(last + 1);
}

uint32_t FileBase::size() const
{
    return FileUtils::fileSize(fileName);
}

FilePlain::~FilePlain()
{
    if (closed) {
        return;
    }
    try {
        // An object left open by an exception, or whose writes failed, holds a working copy
        // that may be incomplete: it must not replace the file. Direct writes are already in
        // the file and are kept.
        if (usingWorkCopy && (accessFailed || std::uncaught_exceptions() > unwindingAtOpen)) {
            discard();
        } else {
            close();
        }
    } catch (...) {
        // A destructor cannot report; the working copy stays on disk when the replacement failed.
    }
}

std::string FilePlain::streamErrorText() const
{
    return fileName + " - BFile error: " + std::to_string(stream.lastError()) +
           " - Access: " + std::to_string(stream.mode());
}

void FilePlain::prepareWorkCopy(bool fileExists, bool startsEmpty)
{
    const std::string workCopy = workCopyPath();
    // A working copy left by a writer that died would otherwise lend its bytes to this access.
    if (FileOps::exists(workCopy) && !FileUtils::removeFile(workCopy, true)) {
        VORLIX_THROW(FileException, FL_CANNOT_OPEN, workCopy);
    }
    if (fileExists && !startsEmpty && !FileOps::copyFile(fileName, workCopy, true)) {
        FileUtils::removeFile(workCopy, true);
        VORLIX_THROW(FileException, FL_CANNOT_COPY, fileName);
    }
}

void FilePlain::open(uint16_t access)
{
    if (!closed) {
        VORLIX_THROW(FileException, FL_IS_OPEN, fileName);
    }
    const bool reading = (access & FILE_READ) != 0;
    const bool writing = (access & FILE_WRITE) != 0;
    if ((reading && !writing && (access & (FILE_TRUNCATE | FILE_CREATE | FILE_APPEND)) != 0) ||
        ((access & FILE_TRUNCATE) != 0 && (access & FILE_APPEND) != 0)) {
        VORLIX_THROW(FileException, FL_ACCESS_COMB, fileName);
    }
    const bool existed = FileOps::exists(fileName);
    if (reading && !writing && !existed) {
        VORLIX_THROW(FileException, FL_EXISTS_NOT, fileName + "-->File does not exist.");
    }

    int32_t mode = 0;
    if (reading && !writing) {
        mode = 1;
    } else if (writing && !reading) {
        mode = (access & FILE_APPEND) != 0 ? 3 : 2;
    } else if (reading && writing) {
        mode = (access & FILE_APPEND) != 0 ? 6 : ((access & FILE_TRUNCATE) != 0 ? 5 : 4);
    } else {
        VORLIX_THROW(FileException, FL_ACCESS_COMB, fileName);
    }
    const bool startsEmpty = mode == 2 || mode == 5;

    // Nothing of an earlier access carries over.
    lock.reset();
    lockedAccess = false;
    accessFailed = false;
    usingWorkCopy = false;
    pathWasNew = false;
    unwindingAtOpen = std::uncaught_exceptions();

    std::string target = fileName;
    if (writing && (access & FILE_NOLOCK) == 0) {
        try {
            lock.reset(new LockFile(fileName));
        } catch (TimeException& e) {
            VORLIX_RETHROW(e);
        } catch (const std::bad_alloc&) {
            VORLIX_THROW(FileException, FL_MEM, fileName);
        }
        if (lock->isHeld() && !lock->unlock()) {
            lock.reset();
            VORLIX_THROW(FileException, FL_IS_LOCKED, fileName);
        }
        // The working copy is prepared only once the lock file is ours: a writer that lost the
        // race for the lock must never touch the winner's working copy.
        const bool direct = (access & FILE_DIRECT) != 0;
        int32_t prepareFailure = FL_NONE;
        std::string prepareText;
        bool prepared = false;
        const auto prepare = [&]() {
            try {
                prepareWorkCopy(FileOps::exists(fileName), startsEmpty);
                prepared = true;
                return true;
            } catch (const FileException& e) {
                prepareFailure = e.code();
                prepareText = e.text();
                return false;
            }
        };
        if (!lock->lock(lockPeriod, !direct, direct ? std::function<bool()>() : prepare)) {
            if (prepared) {
                FileUtils::removeFile(workCopyPath(), true); // ours: the lock was held meanwhile
            }
            lock.reset();
            if (prepareFailure != FL_NONE) {
                VORLIX_THROW(FileException, prepareFailure, prepareText);
            }
            VORLIX_THROW(FileException, FL_CANNOT_LOCK, fileName);
        }
        if (!direct) {
            target = workCopyPath();
            usingWorkCopy = true;
        }
        lockedAccess = true;
        pathWasNew = !lock->originalExisted();
    }

    // Every write access creates a missing file, also the one mode whose stream needs it to exist.
    if (mode == 4 && !FileOps::exists(target)) {
        BFile creator;
        if (creator.open(target, 2)) {
            creator.close();
        }
    }

    if (!stream.open(target, mode)) {
        const bool released = abandonAccess(true);
        if (!released) {
            VORLIX_THROW(FileException, FL_CANNOT_UNLOCK, fileName);
        }
        VORLIX_THROW(FileException, FL_CANNOT_OPEN, target);
    }

    closed = false;
    flags = access;
    pos = 0;
    if ((access & FILE_APPEND) != 0) {
        // Every write goes to the end. Read-and-append streams refuse seeks, so there the
        // position is simply the length found at opening.
        pos =
            stream.seek(0, BFile::ORIGIN_END, BFile::DIR_LAST) ? stream.tell(BFile::DIR_LAST) : stream.size();
    }
}

bool FilePlain::replaceByWorkCopy()
{
    for (int attempt = 1; attempt <= kReplaceAttempts; ++attempt) {
        if (FileOps::moveFile(workCopyPath(), fileName, true)) {
            return true;
        }
        DateTime::waitSeconds(kReplaceWaitSeconds);
    }
    return false;
}

bool FilePlain::abandonAccess(bool removeNewFile)
{
    stream.close();
    bool released = true;
    if (lockedAccess) {
        released = lock->unlock();
        if (released && pathWasNew && removeNewFile) {
            FileUtils::removeFile(fileName, true);
        }
    }
    // The working copy goes even when the lock cannot be released: it holds nothing to keep.
    if (usingWorkCopy) {
        FileUtils::removeFile(workCopyPath(), true);
    }
    lock.reset();
    lockedAccess = false;
    usingWorkCopy = false;
    pathWasNew = false;
    return released;
}

void FilePlain::close()
{
    if (closed) {
        return;
    }
    const bool handedOver = stream.close();
    pos = 0;
    closed = true;
    flags = 0;

    if (accessFailed || !handedOver) {
        // What the working copy holds is not what was written: the file keeps its old content.
        // Direct writes went to the file itself: what reached it stays, also in a file this
        // access created (a log keeps its earlier lines).
        const bool failedBefore = accessFailed;
        const bool released = abandonAccess(usingWorkCopy);
        accessFailed = false;
        if (failedBefore) {
            VORLIX_THROW(FileException, FL_WRITE, fileName);
        }
        if (!released) {
            VORLIX_THROW(FileException, FL_CANNOT_UNLOCK, fileName);
        }
        VORLIX_THROW(FileException, FL_CANNOT_CLOSE, fileName);
    }

    // The file is replaced while the lock file still keeps other writers out; only the hold on
    // the file itself goes first, since a file held open cannot be replaced.
    bool replaced = true;
    if (usingWorkCopy) {
        if (lock) {
            lock->releaseOriginal();
        }
        replaced = replaceByWorkCopy();
        if (replaced) {
            usingWorkCopy = false;
        }
    }
    const bool released = !lockedAccess || lock->unlock();
    lock.reset();
    lockedAccess = false;
    pathWasNew = false;
    if (!replaced) {
        usingWorkCopy = false;
        VORLIX_THROW(FileException, FL_RENAME, "Failed to update the file \"" + fileName + "\"");
    }
    if (!released) {
        VORLIX_THROW(FileException, FL_CANNOT_UNLOCK, fileName);
    }
}

void FilePlain::discard()
{
    if (closed) {
        return;
    }
    pos = 0;
    closed = true;
    flags = 0;
    accessFailed = false;
    if (!abandonAccess(true)) {
        VORLIX_THROW(FileException, FL_CANNOT_UNLOCK, fileName);
    }
}

void FilePlain::writeFailed()
{
    // Only a write that reached the file and failed taints the access; a refusal (closed object,
    // read-only access) changed nothing.
    if (stream.lastError() == 9 && usingWorkCopy) {
        accessFailed = true;
    }
    VORLIX_THROW(FileException, FL_WRITE, streamErrorText());
}

void FilePlain::checkReadable()
{
    if (closed) {
        VORLIX_THROW(FileException, FL_IS_CLOSED, fileName);
    }
    if ((flags & FILE_READ) == 0) {
        VORLIX_THROW(FileException, FL_CANNOT_READ, fileName);
    }
    if (eof()) {
        VORLIX_THROW(FileException, FL_EOF, fileName);
    }
}

void FilePlain::checkWritable()
{
    if (closed) {
        VORLIX_THROW(FileException, FL_IS_CLOSED, fileName);
    }
    if ((flags & FILE_WRITE) == 0) {
        VORLIX_THROW(FileException, FL_CANNOT_WRITE, fileName);
    }
}

bool FilePlain::read(std::string& out, uint64_t count)
{
    if (!stream.read(out, count)) {
        VORLIX_THROW(FileException, FL_READ, fileName);
    }
    pos = stream.tell(BFile::DIR_LAST);
    return out.size() == count;
}

uint64_t FilePlain::readBytes(char* buffer, uint64_t count)
{
    checkReadable();
    std::string data;
    if (!stream.read(data, count)) {
        VORLIX_THROW(FileException, FL_READ, fileName);
    }
    // The copy stops at the first NUL byte of the data; the count does not.
    const size_t textLength = std::strlen(data.c_str());
    std::memcpy(buffer, data.data(), textLength);
    buffer[textLength] = '\0';
    pos += static_cast<int64_t>(data.size());
    return data.size();
}

bool FilePlain::write(const std::string& text)
{
    if (!stream.write(text)) {
        writeFailed();
    }
    pos = stream.tell(BFile::DIR_LAST);
    return true;
}

uint64_t FilePlain::writeBytes(const char* bytes, uint64_t length)
{
    checkWritable();
    if (!stream.write(std::string(bytes, static_cast<size_t>(length)))) {
        writeFailed();
    }
    pos += static_cast<int64_t>(length);
    return length;
}

std::string FilePlain::readLine()
{
    checkReadable();
    std::string line = stream.readLine();
    if (line.empty() && stream.lastError() != 0) {
        VORLIX_THROW(FileException, FL_READ, fileName);
    }
    return line;
}

bool FilePlain::writeLine(const std::string& text)
{
    if (!stream.writeLine(text)) {
        writeFailed();
    }
    pos = stream.tell(BFile::DIR_LAST);
    return true;
}

bool FilePlain::flush()
{
    checkWritable();
    if (!stream.flush()) {
        accessFailed = usingWorkCopy;
        VORLIX_THROW(FileException, FL_FLUSH, fileName);
    }
    return true;
}

int64_t FilePlain::seek(int64_t offset, int32_t origin)
{
    if (closed) {
        VORLIX_THROW(FileException, FL_IS_CLOSED, fileName);
    }
    // Our origins (start, current, end) are the stream's (start, end, current) reordered.
    int32_t streamOrigin = origin;
    if (origin == 1) {
        streamOrigin = BFile::ORIGIN_CURRENT;
    } else if (origin == 2) {
        streamOrigin = BFile::ORIGIN_END;
    }
    if (!stream.seek(offset, streamOrigin, BFile::DIR_LAST)) {
        VORLIX_THROW(FileException, FL_POSITION, fileName);
    }
    pos = stream.tell(BFile::DIR_LAST);
    return pos;
}

int64_t FilePlain::tell()
{
    pos = stream.tell(BFile::DIR_LAST);
    return pos;
}

bool FilePlain::eof()
{
    return stream.atEnd(BFile::DIR_LAST);
}

} // namespace Vorlix
