// StatusMonitor.cpp - the status monitor thread: reconfigurations, the registry markers and the
// checks of every monitored application; and the marker changes of start and shutdown.
//
// Win32 program code (registry, sleeping, posting the quit message).
#include "Foundation/Exception.h"
#include "Foundation/SystemInfo.h"
#include "Foundation/Win32.h"
#include "VorlixSentinel/Sentinel.h"
#include "VorlixSentinel/SentinelLog.h"

#include <chrono>
#include <thread>

using namespace SentinelLog;
using namespace SentinelPolicy;
using Vorlix::ParameterList;

namespace {

constexpr DWORD kPassPauseMs = 500;

const char* const kMachineMarker = "SentinelMarker";

// Reads the markers and answers whether the thread goes on; sets `suspended` from the
// per-instance marker.
bool checkMarkers(bool& suspended)
{
    int32_t machineValue = 0;
    int32_t instanceValue = 0;
    const int machine =
        Vorlix::SystemInfo::getRegNumber(Sentinel::markerKeyPath, kMachineMarker, machineValue);
    const int instance =
        machine == kRegMissing
            ? kRegMissing
            : Vorlix::SystemInfo::getRegNumber(Sentinel::markerKeyPath, Sentinel::markerName, instanceValue);
    switch (judgeMarkers(machine, machineValue, instance, instanceValue)) {
    case MARKERS_STOP_MISSING:
        debug(1, "statusMonitor: Registry marker not found. Shutting down.");
        return false;
    case MARKERS_STOP_SHUTDOWN:
        debug(1, "statusMonitor: Registry marker has shutdown value. Shutting down.");
        return false;
    case MARKERS_STOP_RECREATE:
        if (Vorlix::SystemInfo::setRegNumber(Sentinel::markerKeyPath, Sentinel::markerName, 1) != 0) {
            debug(1, "statusMonitor: Failed to set missing Registry marker \"%s\"",
                  ParameterList().add(Sentinel::markerName));
        }
        return false;
    case MARKERS_PAUSE:
        suspended = true;
        return true;
    case MARKERS_RUN:
        suspended = false;
        return true;
    }
    return true;
}

int32_t statusOf(MonitoredApplication& app)
{
    try {
        return app.process->getStatus();
    } catch (Vorlix::Exception& failure) {
        // A status that cannot be read counts as a stopped application.
        VORLIX_HERE(failure);
        debug(1, failure.fullText());
        return Vorlix::JOB_UNKNOWN;
    }
}

void checkApplications(bool reportingPass, int32_t now)
{
    for (auto it = Sentinel::applications.begin();
         it != Sentinel::applications.end() && !Sentinel::quitRequested;) {
        MonitoredApplication& app = *it;
        if (app.process.isNull() && !Sentinel::getApplication(app)) {
            it = Sentinel::applications.erase(it);
            continue;
        }
        if (statusOf(app) == Vorlix::JOB_RUNNING) {
            Sentinel::signalApplication(app);
            app.restartCount = counterWhileRunning(app.lastStart.seconds(), app.restartCount, now);
            if (reportingPass) {
                debug(5, "statusMonitor: Application \"%s\" is running normally.",
                      ParameterList().add(app.name));
            }
            ++it;
            continue;
        }
        const StoppedVerdict verdict =
            judgeStopped(app.active, app.lastStart.seconds(), app.restartCount, now);
        if (verdict == STOPPED_LET_GO) {
            // Told to end, and it did: nothing to restart. A reconfiguration that activates it
            // again brings the record back.
            debug(2, "statusMonitor: Application \"%s\" has ended as told.", ParameterList().add(app.name));
            it = Sentinel::applications.erase(it);
            continue;
        }
        warning(kMsgStopped, ParameterList().add(app.name));
        if (verdict == STOPPED_GIVE_UP) {
            error(kMsgGivenUp, ParameterList().add(app.name));
            it = Sentinel::applications.erase(it);
            continue;
        }
        if (Sentinel::quitRequested) {
            break; // no restart while stopping
        }
        ++app.restartCount;
        Sentinel::startApplication(app, true);
        ++it;
    }
}

} // namespace

// static
bool Sentinel::monitorPass(MonitorPassState& state)
{
    const int32_t now = clock();
    bool reportingPass = false;
    if (fire(state.timers.nextAlive, now, clock(), kAlivePeriod)) {
        debug(5, "statusMonitor: Running as normal.");
        reportingPass = true;
    }
    if (reconfigureRequested) {
        reconfigure(false);
    }
    if (fire(state.timers.nextMarker, now, clock(), kMarkerPeriod)) {
        if (!checkMarkers(state.checksSuspended)) {
            return false;
        }
    }
    if (state.checksSuspended) {
        // Checked again when the marker is next read; the checks stay suspended until then.
        if (now >= state.timers.nextCheck) {
            debug(1, "statusMonitor: Was going to check if applications were still running, but Registry "
                     "marker prevented it.");
            state.timers.nextCheck = clock() + kCheckPeriod;
        }
        return true;
    }
    if (fire(state.timers.nextCheck, now, clock(), kCheckPeriod)) {
        checkApplications(reportingPass, now);
    }
    return true;
}

// static
uint32_t Sentinel::statusMonitor(Sentinel* /*sentinel*/)
{
    debug(1, "START THREAD statusMonitor.");
    MonitorPassState state;
    state.timers = MonitorTimers::armed(clock());
    while (!quitRequested) {
        try {
            if (!monitorPass(state)) {
                break;
            }
        } catch (Vorlix::Exception& failure) {
            VORLIX_HERE(failure);
            debug(1, "statusMonitor: " + failure.fullText());
        } catch (std::exception& failure) {
            debug(1, std::string("statusMonitor: unexpected failure: ") + failure.what());
        } catch (...) {
            debug(1, "statusMonitor: unexpected failure.");
        }
        if (quitRequested) {
            break;
        }
        Sleep(kPassPauseMs);
    }
    debug(1, "END THREAD statusMonitor.");
    quitRequested = true;
    PostThreadMessageA(mainThreadId, WM_QUIT, 0, 0);
    monitorRunning = false;
    return 0;
}

// static
bool Sentinel::waitForMonitorEnd(uint32_t milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (monitorRunning) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// static
void Sentinel::changeMarker(int32_t oldValue, int32_t newValue)
{
    debug(4, "changeMarker Old:%i New:%i", ParameterList().add(oldValue).add(newValue));
    int32_t value = 0;
    const int result = Vorlix::SystemInfo::getRegNumber(markerKeyPath, markerName, value);
    if (result == kRegRead) {
        if (value == oldValue && Vorlix::SystemInfo::setRegNumber(markerKeyPath, markerName, newValue) != 0) {
            debug(1, "Change marker: Failed to change Registry marker \"%s\" from \"%i\" to \"%i\"",
                  ParameterList().add(markerName).add(oldValue).add(newValue));
        }
    } else if (result == kRegMissing) {
        if (Vorlix::SystemInfo::setRegNumber(markerKeyPath, markerName, newValue) != 0) {
            debug(1, "Change marker: Failed to set missing Registry marker \"%s\"",
                  ParameterList().add(markerName));
        }
    } else {
        debug(1, "Failed to change %s", ParameterList().add(markerName));
    }
}
