// CommandHandler.cpp - the watchdog's IPC vocabulary: DIE, RECONFIG, STATUS_CHECK, RUN_PROG and
// the process-information reply.
//
// Win32 program code (runs on the IPC server's listener thread; starts processes).
#include "Foundation/Exception.h"
#include "Foundation/StringUtils.h"
#include "VorlixSentinel/Sentinel.h"
#include "VorlixSentinel/SentinelLog.h"

#include <vector>

using namespace SentinelLog;
using SentinelPolicy::escapeForLog;
using Vorlix::ParameterList;

namespace {

const std::string kRunProg = "RUN_PROG";

void handle(const std::string& type, const std::string& id, const std::string& text,
            const std::string& sender)
{
    // Peers' fields are escaped in the debug texts only; what the handler acts on stays as sent.
    debug(2, "IPC from %s: Received message \"%s\".",
          ParameterList().add(escapeForLog(sender)).add(escapeForLog(type)));
    if (type == "COMMAND") {
        debug(3, "IPC: Received command \"%s\".", ParameterList().add(escapeForLog(text)));
        if (text == "DIE") {
            debug(3, "Quitting.");
            Sentinel::quitRequested = true;
        } else if (text == "RECONFIG") {
            Sentinel::reconfigureRequested = true;
        } else if (text == "STATUS_CHECK") {
            debug(3, "IPC: Was checked by %s.", ParameterList().add(escapeForLog(sender)));
        } else if (text.size() > kRunProg.size() && text.compare(0, kRunProg.size(), kRunProg) == 0) {
            const std::string request = text.substr(kRunProg.size());
            debug(2, "IPC: Received run command: \"%s\".", ParameterList().add(escapeForLog(request)));
            Sentinel::runProgram(request);
        } else {
            debug(1, "IPC: Received an unknown command.");
        }
    } else if (type == "REPLY") {
        debug(2, "IPC: Received reply \"%s\" with id \"%s\".",
              ParameterList().add(escapeForLog(text)).add(escapeForLog(id)));
        if (id == "SEND_PROCESS_INFO" && !Sentinel::infoHandOver.deliver(text, sender)) {
            debug(2, "IPC: Cannot store process info.");
        }
    } else if (type == "RUN_PROG") {
        debug(2, "IPC: Received run command: \"%s\".", ParameterList().add(escapeForLog(text)));
        Sentinel::runProgram(text);
    } else {
        debug(1, "IPC: Received an unknown type.");
    }
}

} // namespace

// static
void Sentinel::onMessage(const std::string& type, const std::string& id, const std::string& text,
                         const std::string& sender)
{
    if (quitRequested) {
        return;
    }
    // Nothing may escape into the listener thread: it would end the process without shutdown.
    try {
        handle(type, id, text, sender);
    } catch (Vorlix::Exception& failure) {
        VORLIX_HERE(failure);
        debug(1, "IPC: " + failure.fullText());
    } catch (std::exception& failure) {
        debug(1, std::string("IPC: unexpected failure: ") + failure.what());
    } catch (...) {
        debug(1, "IPC: unexpected failure.");
    }
}

// static
void Sentinel::runProgram(const std::string& request)
{
    std::vector<std::string> parts;
    Vorlix::split(request, '|', parts);
    if (parts.size() != 2) {
        debug(1, "IPC: Cannot run this.");
        return;
    }
    try {
        Vorlix::ProcessInstance program(parts[0], parts[1], false, false);
        program.execute();
    } catch (Vorlix::JobException& failure) {
        VORLIX_HERE(failure);
        // The text names the peer's program path: escaped like every other peer field.
        debug(1, escapeForLog(failure.fullText()));
    }
}
