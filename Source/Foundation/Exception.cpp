// Exception.cpp - catalogues and text forms of the library's exceptions.
//
// Portable: no platform headers.
#include "Foundation/Exception.h"

#include <iterator>
#include <utility>

namespace Vorlix {

namespace {

template <size_t N> const char* lookUp(const char* const (&catalogue)[N], int32_t code)
{
    if (code < 0 || static_cast<size_t>(code) >= N) {
        return "";
    }
    return catalogue[code];
}

const char* const configMessages[] = {
    "Out of memory.",
    "Error in conf file.",
};

const char* const fileMessages[] = {
    "No exception!",
    "Insufficient memory available.",
    "File does not exist.",
    "File already exists.",
    "File is open.",
    "File cannot be opened.",
    "File is closed.",
    "Unable to close file.",
    "Illegal combination of access flaggs.",
    "File is not opened for reading.",
    "Unable to read.",
    "File is not opened for writing.",
    "Unable to write.",
    "Unable to flush buffer.",
    "End of file.",
    "Illegal position.",
    "Unable to unlock file.",
    "Unable to lock file.",
    "Someone else has locked the file.",
    "Unable to copy file.",
    "Failed to rename.",
    "Failed to remove.",
    "Failed to create directory.",
    "Failed to get current directory.",
    "Not a directory.",
    "Unable to obtain free disk space.",
    "Unable to access file.",
    "An error occured. (No changes made.)",
};

const char* const timeMessages[] = {
    "No exception!",
    "Days out of range: (0 - 24,855).",
    "Hours out of range: (0-23).",
    "Minutes out of range: (0-59).",
    "Seconds out of range: (0-59).",
    "Year out of range: (1970 - 2037).",
    "Month out of range: (1 - 12).",
    "Day out of range: (1 - days of the month in question).",
    "Illegal date and/or time.",
    "Illegal date/time. Cannot have date before 01.01.1970 0:00:00!",
    "Illegal input format.",
};

const char* const ipcMessages[] = {
    "No exception!",
    "Cannot find message file for IPC.",
    "Unable to create communication channel.",
    "Receiver cannot send.",
    "Sender cannot receive.",
    "Unable to send message.",
    "Unable to receive messages.",
    "Out of memory.",
};

const char* const jobMessages[] = {
    "No exception!",
    "The job was never started. execute() missing or failed",
    "Unable to start the job. Consult OS error code for more details.",
    "Unable to terminate the job. Consult OS error code for more details.",
    "The job is still running. This is not compatible with this method.",
    "An unknown error occured. Consult OS error code and contact developer.",
    "Out of memory.",
    "Unable to access external process.",
    "Unable to access thread in external process.",
};

} // namespace

Exception::Exception(int32_t code) : code_(code) {}

Exception::Exception(int32_t code, std::string text, const std::string& sourcePath, int32_t line)
    : code_(code), text_(std::move(text))
{
    addLocation(sourcePath, line);
}

void Exception::addLocation(const std::string& sourcePath, int32_t line)
{
    if (sourcePath.empty()) {
        return;
    }
    std::string name = sourcePath;
    const auto slash = name.find_last_of("\\/");
    if (slash != std::string::npos) {
        name.erase(0, slash + 1);
    }
    // The extension goes, its full stop stays: "ConfReader.cpp" is traced as "ConfReader.".
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) {
        name.erase(dot + 1);
    }
    trace_.push_back(SourceLocation{name, line});
}

std::string Exception::codeText() const
{
    return std::to_string(classNumber()) + "." + std::to_string(code_);
}

std::string Exception::describeWith(const char* category, const char* message) const
{
    std::string line = category;
    line += ": ";
    line += (message[0] != '\0') ? message : "Unknown error";
    line += " (Code: ";
    line += codeText();
    line += ")";
    return line;
}

std::string Exception::describe() const
{
    return describeWith("Exception", "");
}

std::string Exception::fullText() const
{
    std::string full = describe();
    if (!text_.empty()) {
        full += "\r\n  >  (";
        full += text_;
        full += ")";
    }
    if (!trace_.empty()) {
        full += "\r\n  >  ";
        for (size_t i = 0; i < trace_.size(); ++i) {
            if (i > 0) {
                full += " - ";
            }
            full += trace_[i].source;
            full += "(";
            full += std::to_string(trace_[i].line);
            full += ")";
        }
    }
    return full;
}

#define VORLIX_DEFINE_EXCEPTION(Name, category, number, catalogue)                                           \
    const char* Name::message(int32_t code)                                                                  \
    {                                                                                                        \
        return lookUp(catalogue, code);                                                                      \
    }                                                                                                        \
    int32_t Name::classNumber() const                                                                        \
    {                                                                                                        \
        return number;                                                                                       \
    }                                                                                                        \
    std::string Name::describe() const                                                                       \
    {                                                                                                        \
        return describeWith(category, message(code()));                                                      \
    }

VORLIX_DEFINE_EXCEPTION(ConfigException, "Configuration", 1, configMessages)
VORLIX_DEFINE_EXCEPTION(FileException, "File", 42, fileMessages)
VORLIX_DEFINE_EXCEPTION(TimeException, "Time", 4, timeMessages)
// IPC shares class number 4 with time; peers read the code text as it is.
VORLIX_DEFINE_EXCEPTION(IPCException, "IPC", 4, ipcMessages)
VORLIX_DEFINE_EXCEPTION(JobException, "Job", 43, jobMessages)

#undef VORLIX_DEFINE_EXCEPTION

} // namespace Vorlix
