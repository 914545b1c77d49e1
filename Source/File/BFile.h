// BFile.h - one file as a byte stream in one of six fixed modes, over the standard library's
// buffered file stream.
//
// Portable: no platform headers. Nothing here throws: every operation answers a boolean or a
// value and leaves a numeric code in lastError(). Line ends are never translated.
//   Modes: 1 read; 2 write, truncate; 3 write, append; 4 read/write, must exist;
//          5 read/write, truncate; 6 read/write, append (reading refused).
//   Codes: 0 none, 1 not open, 2 already open, 3 invalid mode, 4 cannot open, 5 invalid origin,
//          6 not readable, 7 reading failed, 8 not writable, 9 writing failed, 10 at the end,
//          11 no last direction, 12 seeking failed.
// Failures to hand bytes to the file are reported where they happen: write, flush (which answers
// false, code 9, instead of leaving the stream marked bad) and close (likewise).
//   Directions: 0 read position, 1 write position, 2 last transfer, 3 both (seek only).
//   Origins: 0 start, 1 end, 2 current position.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

namespace Vorlix {

class BFile {
public:
    enum Direction : int32_t { DIR_READ = 0, DIR_WRITE = 1, DIR_LAST = 2, DIR_BOTH = 3, DIR_NONE = 4 };
    enum Origin : int32_t { ORIGIN_START = 0, ORIGIN_END = 1, ORIGIN_CURRENT = 2 };

    BFile() = default;
    ~BFile() { close(); }

    BFile(const BFile&) = delete;
    BFile& operator=(const BFile&) = delete;

    bool open(const std::string& fileName, int32_t openMode);
    // False (code 9) when the bytes still buffered could not be handed to the file.
    bool close();

    bool seek(int64_t offset, int32_t origin, int32_t direction);
    int64_t tell(int32_t direction);
    bool atEnd(int32_t direction);

    bool read(std::string& out, uint64_t count);
    std::string readString(uint64_t count);
    std::string readLine();

    bool write(const std::string& text);
    bool writeLine(const std::string& text);
    bool flush();

    int32_t lastError() const { return error; }
    int32_t mode() const { return openMode_; }
    const std::string& name() const { return fileName_; }
    int64_t size() const { return fileSize; }

private:
    bool canRead() const { return openMode_ == 1 || openMode_ == 4 || openMode_ == 5; }
    bool canWrite() const { return openMode_ >= 2 && openMode_ <= 6; }
    // Clears the code, then refuses (with code 1, 6 or 8) a transfer the object cannot make.
    bool mayTransfer(int32_t direction);
    // The stream has one position for both directions; after a transfer the other way it is
    // moved explicitly so that reading never follows writing (or the reverse) without a seek.
    void prepareFor(int32_t newDirection);
    bool seekStream(int64_t offset, std::ios_base::seekdir way, int32_t dir);
    void restorePosition(int64_t where, int32_t dir);

    std::string fileName_;
    int32_t openMode_ = 0;
    std::fstream stream;
    int64_t fileSize = 0;
    int64_t position = 0;
    int32_t lastDirection = DIR_NONE;
    bool endReached = true;
    int32_t error = 0;
};

} // namespace Vorlix
