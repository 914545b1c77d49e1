// BFile.cpp - the buffered byte stream.
//
// Portable: no platform headers.
#include "File/BFile.h"

#include "File/FileFaults.h"

namespace Vorlix {

namespace {

constexpr uint64_t kReadChunk = 1024;
constexpr size_t kLinePiece = 255;

std::ios_base::openmode streamModeOf(int32_t mode)
{
    using std::ios_base;
    switch (mode) {
    case 1:
        return ios_base::in | ios_base::binary;
    case 2:
        return ios_base::out | ios_base::trunc | ios_base::binary;
    case 3:
        return ios_base::out | ios_base::app | ios_base::binary;
    case 4:
        return ios_base::in | ios_base::out | ios_base::binary;
    case 5:
        return ios_base::in | ios_base::out | ios_base::trunc | ios_base::binary;
    default:
        return ios_base::in | ios_base::out | ios_base::app | ios_base::binary;
    }
}

} // namespace

bool BFile::open(const std::string& fileName, int32_t newMode)
{
    error = 0;
    if (openMode_ != 0) {
        error = 2;
        return false;
    }
    if (newMode == 0) {
        return true;
    }
    if (newMode < 1 || newMode > 6) {
        error = 3;
        return false;
    }
    stream.clear();
    stream.open(fileName, streamModeOf(newMode));
    if (!stream.is_open()) {
        stream.clear();
        error = 4;
        return false;
    }
    fileName_ = fileName;
    openMode_ = newMode;

    // The length is measured once, at opening; writing does not update it.
    if (newMode == 1) {
        const auto start = stream.tellg();
        stream.seekg(0, std::ios_base::end);
        fileSize = static_cast<int64_t>(stream.tellg());
        stream.seekg(start);
        position = static_cast<int64_t>(start);
        lastDirection = DIR_READ;
    } else {
        const auto start = stream.tellp();
        stream.seekp(0, std::ios_base::end);
        fileSize = static_cast<int64_t>(stream.tellp());
        stream.seekp(start);
        position = static_cast<int64_t>(start);
        lastDirection = DIR_WRITE;
    }
    if (fileSize < 0) {
        fileSize = 0;
    }
    if (position < 0) {
        position = 0;
    }
    stream.clear();
    endReached = position == fileSize;
    return true;
}

bool BFile::close()
{
    error = 0;
    if (openMode_ == 0) {
        return true;
    }
    // Closing hands the last buffered bytes to the file; on a full disk that is where a write
    // fails, so the caller must hear of it.
    bool handedOver = true;
    if (canWrite()) {
        stream.flush();
        handedOver = !stream.fail() && !FileFaults::flushFails(fileName_);
    }
    stream.close();
    if (stream.fail()) {
        handedOver = false;
    }
    stream.clear();
    openMode_ = 0;
    lastDirection = DIR_NONE;
    endReached = true;
    if (!handedOver) {
        error = 9;
    }
    return handedOver;
}

bool BFile::mayTransfer(int32_t direction)
{
    error = 0;
    if (openMode_ == 0) {
        error = 1;
        return false;
    }
    if (direction == DIR_READ ? !canRead() : !canWrite()) {
        error = direction == DIR_READ ? 6 : 8;
        return false;
    }
    return true;
}

void BFile::prepareFor(int32_t newDirection)
{
    if (lastDirection != newDirection && lastDirection != DIR_NONE) {
        stream.clear();
        if (newDirection == DIR_READ) {
            stream.seekg(position);
        } else if (openMode_ != 3 && openMode_ != 6) {
            stream.seekp(position);
        }
        stream.clear();
    }
}

bool BFile::seekStream(int64_t offset, std::ios_base::seekdir way, int32_t dir)
{
    if (dir == DIR_READ) {
        stream.seekg(offset, way);
    } else {
        stream.seekp(offset, way);
    }
    return !stream.fail();
}

void BFile::restorePosition(int64_t where, int32_t dir)
{
    stream.clear();
    if (dir == DIR_READ) {
        stream.seekg(where);
    } else {
        stream.seekp(where);
    }
    stream.clear();
}

bool BFile::seek(int64_t offset, int32_t origin, int32_t direction)
{
    error = 0;
    if (openMode_ == 0) {
        error = 1;
        return false;
    }
    int32_t dir = direction;
    if (dir == DIR_LAST) {
        dir = lastDirection;
    } else if (dir == DIR_BOTH) {
        // Both positions move to the same place: a relative offset counts once, from where the
        // object stands now, not again from where the read seek left it.
        if (origin == ORIGIN_CURRENT) {
            offset += position;
            origin = ORIGIN_START;
        }
        seek(offset, origin, DIR_READ);
        error = 0;
        dir = DIR_WRITE;
    }
    if (dir == DIR_NONE || (dir != DIR_READ && dir != DIR_WRITE)) {
        error = 11;
        return false;
    }
    std::ios_base::seekdir way;
    switch (origin) {
    case ORIGIN_START:
        way = std::ios_base::beg;
        break;
    case ORIGIN_END:
        way = std::ios_base::end;
        break;
    case ORIGIN_CURRENT:
        way = std::ios_base::cur;
        break;
    default:
        error = 5;
        return false;
    }
    if (dir == DIR_WRITE ? (openMode_ < 2 || openMode_ > 5) : !canRead()) {
        return false; // a seek the mode does not allow: refused without a code
    }
    const int64_t before = position;
    stream.clear();
    if (way == std::ios_base::cur) {
        // The stream's own position may still be the other direction's; count from ours.
        way = std::ios_base::beg;
        offset += position;
    }
    if (offset < 0 && way == std::ios_base::beg) {
        restorePosition(before, dir);
        error = 12;
        return false;
    }
    if (!seekStream(offset, way, dir)) {
        restorePosition(before, dir);
        error = 12;
        return false;
    }
    const auto now = dir == DIR_READ ? stream.tellg() : stream.tellp();
    if (now < 0) {
        restorePosition(before, dir);
        error = 12;
        return false;
    }
    position = static_cast<int64_t>(now);
    lastDirection = dir;
    endReached = position >= fileSize;
    return true;
}

int64_t BFile::tell(int32_t direction)
{
    error = 0;
    if (openMode_ == 0) {
        error = 1;
        return -1;
    }
    if (direction == DIR_LAST || direction == lastDirection) {
        return position;
    }
    const auto now = direction == DIR_READ ? stream.tellg() : stream.tellp();
    stream.clear();
    return static_cast<int64_t>(now);
}

bool BFile::atEnd(int32_t direction)
{
    if (direction == DIR_LAST || openMode_ == 0) {
        return endReached;
    }
    // Asking leaves the code of the last operation alone.
    const int32_t kept = error;
    bool result = endReached;
    if (direction == DIR_READ && (canRead() || openMode_ == 6)) {
        result = tell(DIR_READ) == fileSize;
    } else if (direction == DIR_WRITE && canWrite()) {
        result = tell(DIR_WRITE) == fileSize;
    }
    error = kept;
    return result;
}

bool BFile::read(std::string& out, uint64_t count)
{
    if (!mayTransfer(DIR_READ)) {
        return false;
    }
    out.clear();
    if (count == 0) {
        return true;
    }
    if (endReached) {
        error = 10;
        return false;
    }
    prepareFor(DIR_READ);
    const int64_t before = position;
    const uint64_t remaining = position < fileSize ? static_cast<uint64_t>(fileSize - position) : 0;
    if (count > remaining) {
        count = remaining;
    }
    char chunk[kReadChunk];
    uint64_t done = 0;
    while (done < count) {
        const uint64_t want = count - done < kReadChunk ? count - done : kReadChunk;
        stream.read(chunk, static_cast<std::streamsize>(want));
        const auto got = stream.gcount();
        if (got <= 0) {
            break;
        }
        out.append(chunk, static_cast<size_t>(got));
        done += static_cast<uint64_t>(got);
        if (static_cast<uint64_t>(got) < want) {
            break;
        }
    }
    lastDirection = DIR_READ;
    if (stream.eof()) {
        stream.clear();
        endReached = true;
        stream.seekg(0, std::ios_base::end);
        stream.clear();
        position = static_cast<int64_t>(stream.tellg());
        return true;
    }
    if (stream.fail()) {
        stream.clear();
        restorePosition(before, DIR_READ);
        position = before;
        error = 7;
        return false;
    }
    position = static_cast<int64_t>(stream.tellg());
    endReached = position >= fileSize;
    return true;
}

std::string BFile::readString(uint64_t count)
{
    std::string out;
    if (!read(out, count)) {
        return std::string();
    }
    return out;
}

std::string BFile::readLine()
{
    if (!mayTransfer(DIR_READ)) {
        return std::string();
    }
    if (endReached) {
        error = 10;
        return std::string();
    }
    prepareFor(DIR_READ);
    std::string line;
    std::string piece;
    int64_t consumed = 0;
    char c = 0;
    while (consumed < fileSize && stream.get(c)) {
        ++consumed;
        if (c == '\n') {
            break;
        }
        if (c == '\r') {
            continue;
        }
        piece.push_back(c);
        if (piece.size() == kLinePiece) {
            line += piece;
            piece.clear();
        }
    }
    line += piece;
    lastDirection = DIR_READ;
    if (stream.eof()) {
        stream.clear();
        endReached = true;
    }
    if (stream.fail()) {
        stream.clear();
        restorePosition(position + consumed, DIR_READ);
        position += consumed;
        error = 7;
        return std::string();
    }
    position += consumed;
    if (position >= fileSize) {
        endReached = true;
    }
    return line;
}

bool BFile::write(const std::string& text)
{
    if (!mayTransfer(DIR_WRITE)) {
        return false;
    }
    prepareFor(DIR_WRITE);
    const int64_t before = position;
    const uint64_t allowed = FileFaults::allowedWrite(fileName_, text.size());
    stream.write(text.data(), static_cast<std::streamsize>(allowed));
    if (stream.fail() || allowed < text.size()) {
        stream.clear();
        restorePosition(before, DIR_WRITE);
        error = 9;
        return false;
    }
    lastDirection = DIR_WRITE;
    const auto now = stream.tellp();
    position = now >= 0 ? static_cast<int64_t>(now) : position + static_cast<int64_t>(text.size());
    stream.clear();
    return true;
}

bool BFile::writeLine(const std::string& text)
{
    return write(text) && write(std::string(1, '\n'));
}

bool BFile::flush()
{
    if (!mayTransfer(DIR_WRITE)) {
        return false;
    }
    stream.flush();
    if (stream.fail() || FileFaults::flushFails(fileName_)) {
        stream.clear();
        error = 9;
        return false;
    }
    return true;
}

} // namespace Vorlix
