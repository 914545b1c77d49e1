// Applications.cpp - the monitored applications: asking one whether it runs, attaching to it,
// starting and restarting its program, and telling it to end.
//
// Win32 program code (process jobs, mailslot clients, sleeping).
#include "File/FileOps.h"
#include "Foundation/Exception.h"
#include "Foundation/StringUtils.h"
#include "Foundation/Win32.h"
#include "IPC/IPCClient.h"
#include "VorlixSentinel/Sentinel.h"
#include "VorlixSentinel/SentinelLog.h"

#include <new>

using namespace SentinelLog;
using Vorlix::ParameterList;

namespace {

// The reply wait: 50 looks, 100 ms apart, about five seconds.
constexpr int kReplyPolls = 50;
constexpr DWORD kReplyPollMs = 100;

const char* const kProcessInfo = "SEND_PROCESS_INFO";

std::string applicationServer(const MonitoredApplication& app)
{
    return app.id + "_" + Sentinel::instanceTag;
}

std::string ownServer()
{
    return "Sentinel_" + Sentinel::instanceTag;
}

uint32_t leadingNumber(const std::string& text)
{
    const int32_t value = Vorlix::leadingInteger(text);
    return value > 0 ? static_cast<uint32_t>(value) : 0u;
}

} // namespace

bool Sentinel::getApplication(MonitoredApplication& app)
{
    debug(2, "Getting application \"%s\"...", ParameterList().add(app.name));
    if (isApplicationRunning(app)) {
        debug(3, "   Application is running.");
        return captureApplication(app);
    }
    debug(3, "   Application is not running.");
    if (quitRequested) {
        return false; // a stopping watchdog starts nothing it could no longer tell to end
    }
    if (!app.active) {
        debug(2, "Application \"%s\" is not to be activated.", ParameterList().add(app.name));
        return false;
    }
    if (!startApplication(app, false)) {
        return false;
    }
    app.restartCount = 0;
    return true;
}

bool Sentinel::isApplicationRunning(MonitoredApplication& app)
{
    debug(3, "   Trying to find out if \"%s\" is already running...", ParameterList().add(app.name));
    // A reply meant for an earlier query (or another record) must not count for this one.
    app.processInfo.clear();
    infoHandOver.begin(&app, applicationServer(app));
    bool sent = false;
    try {
        Vorlix::IPCClient client(applicationServer(app));
        sent = client.send("COMMAND", kProcessInfo, kProcessInfo, ownServer());
    } catch (...) {
        sent = false;
    }
    if (sent) {
        for (int poll = 0; poll < kReplyPolls && !infoHandOver.answered() && !quitRequested; ++poll) {
            Sleep(kReplyPollMs);
        }
    }
    // The wait is over: a late reply finds nothing pending and is dropped by the handler.
    app.processInfo = infoHandOver.finish();
    return !app.processInfo.empty();
}

bool Sentinel::captureApplication(MonitoredApplication& app)
{
    debug(3, "Trying to capture running application \"%s\"...", ParameterList().add(app.name));
    uint32_t processId = 0;
    uint32_t threadId = 0;
    const auto comma = app.processInfo.find(',');
    if (comma == std::string::npos) {
        processId = leadingNumber(app.processInfo);
    } else {
        processId = leadingNumber(app.processInfo.substr(0, comma));
        app.processInfo.erase(0, comma + 1);
        threadId = leadingNumber(app.processInfo);
    }
    if (processId == 0 || threadId == 0) {
        debug(3, "   Failed to capture application.");
        error(kMsgCannotCapture, ParameterList().add(app.name).add("UNKNOWN"));
        return false;
    }
    try {
        app.process = Vorlix::CountedHandle<Vorlix::ProcessInstance>(
            new (std::nothrow) Vorlix::ProcessInstance(processId, threadId));
    } catch (Vorlix::JobException& failure) {
        VORLIX_HERE(failure);
        debug(1, failure.fullText());
        error(kMsgCannotCapture, ParameterList().add(app.name).add(failure.codeText()));
        return false;
    }
    if (app.process.isNull()) {
        error(kMsgCannotCapture, ParameterList().add(app.name).add("OUT OF MEMORY"));
        return false;
    }
    debug(3, "   Captured running application.");
    return true;
}

bool Sentinel::startApplication(MonitoredApplication& app, bool restart)
{
    debug(2,
          restart ? "Attempting to restart application \"%s\"..."
                  : "Attempting to start application \"%s\"...",
          ParameterList().add(app.name));
    std::string directory;
    if (conf.isNull() || conf->getDirName("Vorlix.directories.bin", directory) != Vorlix::CONF_OK) {
        error(kMsgMissingKey, ParameterList().add("Vorlix.directories.bin"));
        return false;
    }
    Vorlix::FileUtils::addTrailingSeparator(directory);
    const std::string programPath = directory + app.name + ".exe";

    app.process = Vorlix::CountedHandle<Vorlix::ProcessInstance>(
        new (std::nothrow) Vorlix::ProcessInstance(programPath, "", true, false));
    if (app.process.isNull()) {
        error(kMsgCannotStart, ParameterList().add(app.name).add("OUT OF MEMORY"));
        return false;
    }
    try {
        app.process->execute();
    } catch (Vorlix::JobException& failure) {
        VORLIX_HERE(failure);
        error(kMsgCannotStart, ParameterList().add(app.name).add(failure.codeText()));
        debug(1, failure.fullText());
        return false;
    } catch (...) {
        error(kMsgCannotStart, ParameterList().add(app.name).add("UNKNOWN"));
        return false;
    }
    if (app.process->getStatus() != Vorlix::JOB_RUNNING) {
        error(kMsgCannotStart, ParameterList().add(app.name).add("WONT START"));
        return false;
    }
    debug(2, restart ? "   Successfully restarted application." : "   Successfully started application.");
    app.lastStart = Vorlix::DateTime(clock());
    return true;
}

void Sentinel::signalApplication(MonitoredApplication& app)
{
    if (app.process.isNull() || app.active) {
        return;
    }
    debug(2, "Application \"%s\" will be signaled to shut down.", ParameterList().add(app.name));
    try {
        Vorlix::IPCClient client(applicationServer(app));
        client.send("COMMAND", "", "DIE", ownServer());
    } catch (Vorlix::IPCException& failure) {
        VORLIX_HERE(failure);
        error(kMsgCannotSignal, ParameterList().add(app.name).add(failure.codeText()));
        debug(1, failure.fullText());
    } catch (...) {
        // Also called by the shutdown sequence on the main thread: nothing may escape.
        error(kMsgCannotSignal, ParameterList().add(app.name).add("UNKNOWN"));
    }
}
