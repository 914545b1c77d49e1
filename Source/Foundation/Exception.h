// Exception.h - the library's exceptions and their error catalogues.
//
// Portable: no platform headers. Every failure inside the library is thrown as one of these
// classes, by value, and caught by reference. An exception carries a catalogue code, a free detail
// text and the trace of source locations it passed through.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vorlix {

enum ConfigErrorCode : int32_t { CF_MEM = 0, CF_CONF = 1 };

enum FileErrorCode : int32_t {
    FL_NONE = 0,
    FL_MEM,
    FL_EXISTS_NOT,
    FL_EXISTS,
    FL_IS_OPEN,
    FL_CANNOT_OPEN,
    FL_IS_CLOSED,
    FL_CANNOT_CLOSE,
    FL_ACCESS_COMB,
    FL_CANNOT_READ,
    FL_READ,
    FL_CANNOT_WRITE,
    FL_WRITE,
    FL_FLUSH,
    FL_EOF,
    FL_POSITION,
    FL_CANNOT_UNLOCK,
    FL_CANNOT_LOCK,
    FL_IS_LOCKED,
    FL_CANNOT_COPY,
    FL_RENAME,
    FL_REMOVE,
    FL_CREATE_DIR,
    FL_GET_DIR,
    FL_NO_DIR,
    FL_SPACE,
    FL_ACCESS,
    FL_ERROR
};

enum TimeErrorCode : int32_t {
    TM_NONE = 0,
    TM_DAYS,
    TM_HOURS,
    TM_MINUTES,
    TM_SECONDS,
    TM_YEAR,
    TM_MONTH,
    TM_DAY,
    TM_DATETIME,
    TM_ANCIENT,
    TM_INPUT
};

enum IPCErrorCode : int32_t {
    IC_NONE = 0,
    IC_NO_MESSAGE_FILE,
    IC_CANNOT_CREATE_COMM,
    IC_NOT_SENDER,
    IC_NOT_RECEIVER,
    IC_CANNOT_SEND,
    IC_CANNOT_RECEIVE,
    IC_MEM
};

enum JobErrorCode : int32_t {
    JB_NONE = 0,
    JB_NEVER_STARTED,
    JB_UNABLE_TO_START,
    JB_UNABLE_TO_TERMINATE,
    JB_STILL_RUNNING,
    JB_UNKNOWN_ERROR,
    JB_MEM,
    JB_PROCESS,
    JB_THREAD
};

struct SourceLocation {
    std::string source;
    int32_t line = 0;
};

class Exception {
public:
    explicit Exception(int32_t code);
    Exception(int32_t code, std::string text, const std::string& sourcePath, int32_t line);
    virtual ~Exception() = default;

    Exception(const Exception&) = default;
    Exception& operator=(const Exception&) = default;

    // One line: category word, message and code text.
    virtual std::string describe() const;
    virtual int32_t classNumber() const { return 45; }

    void addLocation(const std::string& sourcePath, int32_t line);

    int32_t code() const { return code_; }
    const std::string& text() const { return text_; }
    const std::vector<SourceLocation>& trace() const { return trace_; }

    // "<classNumber>.<code>", e.g. "1.1".
    std::string codeText() const;
    // describe(), then the detail text and the trace on lines of their own.
    std::string fullText() const;

protected:
    std::string describeWith(const char* category, const char* message) const;

private:
    int32_t code_;
    std::vector<SourceLocation> trace_;
    std::string text_;
};

// Declares one catalogued subclass; the catalogue itself lives in Exception.cpp.
#define VORLIX_DECLARE_EXCEPTION(Name)                                                                       \
    class Name : public Exception {                                                                          \
    public:                                                                                                  \
        using Exception::Exception;                                                                          \
        std::string describe() const override;                                                               \
        int32_t classNumber() const override;                                                                \
        /* The catalogue message of a code, or "" when the code is outside the catalogue. */                 \
        static const char* message(int32_t code);                                                            \
    }

VORLIX_DECLARE_EXCEPTION(ConfigException);
VORLIX_DECLARE_EXCEPTION(FileException);
VORLIX_DECLARE_EXCEPTION(TimeException);
VORLIX_DECLARE_EXCEPTION(IPCException);
VORLIX_DECLARE_EXCEPTION(JobException);

#undef VORLIX_DECLARE_EXCEPTION

} // namespace Vorlix

// Throws an exception whose trace starts at the throw statement.
#define VORLIX_THROW(ExceptionClass, code, text)                                                             \
    throw ExceptionClass((code), (text), __FILE__, static_cast<int32_t>(__LINE__))

// Inside a catch block: adds this location to the caught exception and throws it on.
#define VORLIX_RETHROW(caught)                                                                               \
    do {                                                                                                     \
        (caught).addLocation(__FILE__, static_cast<int32_t>(__LINE__));                                      \
        throw;                                                                                               \
    } while (false)

// Adds this location to an exception that is about to be logged or turned into a result.
#define VORLIX_HERE(caught) (caught).addLocation(__FILE__, static_cast<int32_t>(__LINE__))
