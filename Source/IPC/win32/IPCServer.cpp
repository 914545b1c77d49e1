// IPCServer.cpp - the listener thread: mailslot polls, addressee check, handler calls, stop.
//
// Win32-only.
#include "IPC/IPCServer.h"

#include "Foundation/StringUtils.h"

#include "Foundation/Exception.h"
#include "Foundation/Win32.h"
#include "IPC/IPCMessage.h"
#include "IPC/MailSlot.h"
#include "Time/DateTime.h"
#include "Time/TimeSpan.h"
#include "Time/Timer.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <list>
#include <memory>
#include <mutex>
#include <new>

namespace Vorlix {

namespace {

std::atomic<IPCHandler> messageHandler{nullptr};
std::atomic<bool> stopRequested{false};
// Set once the listener's message queue exists: before that a destroy message cannot be posted.
std::atomic<bool> listenerQueueReady{false};

constexpr uint32_t POLL_INTERVAL_MS = 1000;
// How often the owner's side looks again while it waits for the listener to start or to stop.
constexpr uint32_t WAKE_STEP_MS = 50;
constexpr uint32_t STOP_WAIT_MS = 10000;
// More than a thread queue holds (10,000 by default), so each poll empties it.
constexpr int MAX_QUEUED_PER_POLL = 20000;

// What the listener needs from its server, copied for the thread: the server may be destroyed
// while the listener still runs.
struct ListenerStart {
    CountedHandle<LoggerUnit> logger;
    std::string name;
};

// Writes a debug record; a failing log chain costs the record, never the listener.
void logDebug(const CountedHandle<LoggerUnit>& logger, int32_t level, const std::string& format,
              const ParameterList* parameters = nullptr)
{
    if (logger.isNull()) {
        return;
    }
    try {
        if (parameters != nullptr) {
            logger->debug(level, format, *parameters);
        } else {
            logger->debug(level, format);
        }
    } catch (...) {
    }
}

void logDebug(const CountedHandle<LoggerUnit>& logger, int32_t level, const std::string& format,
              const ParameterList& parameters)
{
    logDebug(logger, level, format, &parameters);
}

// The text of whatever is being handled, for the log: call only inside a catch block.
std::string caughtText()
{
    try {
        throw;
    } catch (Exception& caught) {
        VORLIX_HERE(caught);
        return caught.fullText();
    } catch (const std::exception& caught) {
        return caught.what();
    } catch (...) {
        return "unknown exception";
    }
}

void deliver(const CountedHandle<LoggerUnit>& logger, const std::string& line)
{
    // The line is a peer's: its bytes are escaped so that it stays one line of the log.
    logDebug(logger, 5, "IPC: Received message line \"%s\".", ParameterList().add(escapeControlBytes(line)));
    const IPCFields fields = cutMessage(line);
    if (!isAddressedToUs(fields)) {
        logDebug(logger, 4, "IPC: The message was not adressed to Vorlix. Ignoring it.");
        return;
    }
    const IPCHandler handler = messageHandler.load();
    if (handler != nullptr) {
        handler(fields.type, fields.id, fields.text, fields.sender);
    }
}

// True when the owner asked the thread to end with the destroy message. Everything else queued
// for the thread is taken and ignored, all of it at each poll: one message a second would let a
// stray poster fill the queue until the owner's destroy message could no longer be posted.
bool destroyRequested(const CountedHandle<LoggerUnit>& logger)
{
    bool destroy = false;
    MSG message{};
    for (int taken = 0; taken < MAX_QUEUED_PER_POLL && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
         ++taken) {
        if (message.message == WM_DESTROY && !destroy) {
            destroy = true;
            logDebug(logger, 4, "IPC: Received message to exit IPC listener.");
            PostQuitMessage(0);
        }
    }
    return destroy;
}

void pollOnce(MailSlot& slot, std::list<std::string>& received, const CountedHandle<LoggerUnit>& logger,
              const std::string& name)
{
    if (destroyRequested(logger)) {
        stopRequested = true;
    }
    try {
        slot.receive(received);
    } catch (...) {
        // What was read before the failure is delivered; only the message being read is lost.
    }
    if (received.empty()) {
        return;
    }
    logDebug(logger, 4, "IPC: Server \"%s\": Received %i message(s)...",
             ParameterList().add(name).add(static_cast<int32_t>(received.size())));
    for (const std::string& line : received) {
        try {
            deliver(logger, line);
        } catch (...) {
            // A handler that throws loses its own message, not the listener.
            logDebug(logger, 1, "IPC: The message handler failed: " + caughtText());
        }
    }
    received.clear();
}

// Wakes the listener from its pause between polls when a stop is asked for. Made once per
// process, before any listener runs, and kept until the process ends.
HANDLE wakeEvent()
{
    static std::once_flag made;
    static KernelHandle event;
    std::call_once(made, [] { event = KernelHandle(CreateEventA(nullptr, FALSE, FALSE, nullptr)); });
    return event.get();
}

// Waits out the poll interval, or less when a stop is asked for or a message reaches the thread's
// queue (the next poll takes the destroy message, and drops any other). The thread sleeps in the
// system until one of them happens: an idle listener wakes once a poll.
void waitForNextPoll()
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(POLL_INTERVAL_MS);
    while (!stopRequested) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) {
            return;
        }
        HANDLE wake = wakeEvent();
        const DWORD count = wake != nullptr ? 1 : 0;
        // Without the event a stop is still seen, at the latest after this poll's pause.
        const DWORD woken =
            MsgWaitForMultipleObjectsEx(count, count != 0 ? &wake : nullptr, static_cast<DWORD>(left),
                                        QS_POSTMESSAGE, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0 + count || woken == WAIT_FAILED) {
            return; // a message waits (or the wait failed): poll now rather than spin
        }
    }
}

uint32_t runListener(const CountedHandle<LoggerUnit>& logger, const std::string& name)
{
    logDebug(logger, 2, "IPC: Initializing listener for \"" + name + "\".");
    std::unique_ptr<MailSlot> slot;
    try {
        logDebug(logger, 2, "IPC: Creating MailSlot \"" + name + "\".");
        slot = std::make_unique<MailSlot>(IPC_RECEIVER, name);
        logDebug(logger, 2, "IPC: MailSlot created \"" + name + "\".");
    } catch (IPCException& caught) {
        VORLIX_HERE(caught);
        logDebug(logger, 1, caught.fullText());
        return static_cast<uint32_t>(-1);
    }

    TimeSpan minute;
    minute.setParts(0, 0, 1, 0);
    Timer debugTimer;
    debugTimer.setDeadline(DateTime() + minute);
    int32_t polls = 0;
    std::list<std::string> received;
    while (!stopRequested) {
        int32_t nextPolls = polls + 1;
        try {
            if (debugTimer.expired()) {
                logDebug(
                    logger, 5,
                    "IPC: Server \"%s\": Checking for incomming messages. Done so %i times since last debug.",
                    ParameterList().add(name).add(polls));
                nextPolls = 0;
            }
            pollOnce(*slot, received, logger, name);
            if (debugTimer.expired()) {
                logDebug(logger, 5, "IPC: Server \"%s\": Now sleeping for a while.",
                         ParameterList().add(name));
                debugTimer.setDeadline(DateTime() + minute);
            }
        } catch (...) {
            received.clear();
            logDebug(logger, 1, "IPC: Listener poll failed: " + caughtText());
        }
        if (!stopRequested) {
            waitForNextPoll();
        }
        polls = nextPolls;
    }
    logDebug(logger, 1, "IPC: Exitited IPC listener.");
    slot.reset();
    stopRequested = false;
    return 0;
}

uint32_t listen(void* argument)
{
    CountedHandle<LoggerUnit> logger;
    std::string name;
    {
        std::unique_ptr<ListenerStart> start(static_cast<ListenerStart*>(argument));
        logger = start->logger;
        name = start->name;
    }
    // Create the thread's message queue now, so the owner's destroy message can always be posted.
    MSG message{};
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    listenerQueueReady = true;
    try {
        return runListener(logger, name);
    } catch (...) {
        logDebug(logger, 1, "IPC: Listener failed: " + caughtText());
        return static_cast<uint32_t>(-1);
    }
}

bool listenerEnded(const CountedHandle<ThreadInstance>& listener)
{
    try {
        return listener.isNull() || listener->getStatus() != JOB_RUNNING;
    } catch (const JobException&) {
        return true;
    }
}

} // namespace

IPCServer::IPCServer(const std::string& nameToUse, CountedHandle<LogDispatcher> dispatcher,
                     IPCHandler handler)
    : name(nameToUse)
{
    logger = CountedHandle<LoggerUnit>(new (std::nothrow) LoggerUnit(dispatcher, LOGGER_MODULE));
    if (logger.isNull()) {
        VORLIX_THROW(IPCException, IC_MEM, "");
    }
    messageHandler = handler;
    // A stop that timed out before must not make this server's listener end at once, nor a wake
    // left from it cut the first pause short.
    stopRequested = false;
    if (HANDLE wake = wakeEvent()) {
        ResetEvent(wake);
    }
    listenerQueueReady = false;
    try {
        std::unique_ptr<ListenerStart> start(new ListenerStart{logger, name});
        listener = CountedHandle<ThreadInstance>(new ThreadInstance(listen, start.get()));
        listener->execute();
        start.release(); // the listener owns it now
    } catch (JobException& caught) {
        VORLIX_HERE(caught);
        logDebug(logger, 1, caught.fullText());
        throw;
    } catch (...) {
        logDebug(logger, 1, "Unknown error when creating listener.");
        VORLIX_THROW(IPCException, IC_CANNOT_RECEIVE, "");
    }
    logDebug(logger, 1, "IPC: Created server \"" + name + "\".");
}

IPCServer::~IPCServer()
{
    try {
        // A listener that has not yet made its message queue would miss the destroy message and
        // be ended by force, holding whatever it held: give it a bounded moment to get there.
        for (uint32_t waited = 0; waited < STOP_WAIT_MS && !listenerQueueReady && !listenerEnded(listener);
             waited += WAKE_STEP_MS) {
            Timer::sleep(WAKE_STEP_MS);
        }
        if (!listener.isNull()) {
            listener->stop();
        }
    } catch (...) {
        // The thread job's own destructor ends a listener that is still running.
    }
    listener.reset();
    logDebug(logger, 1, "IPC: Destroyed server \"" + name + "\".");
    logger.reset();
}

void IPCServer::stop()
{
    stopRequested = true;
    if (HANDLE wake = wakeEvent()) {
        SetEvent(wake);
    }
    bool ended = false;
    for (uint32_t waited = 0; stopRequested && waited < STOP_WAIT_MS; waited += WAKE_STEP_MS) {
        if (listenerEnded(listener)) {
            ended = true;
            break; // gone without clearing the flag: its mailslot could not be created
        }
        Timer::sleep(WAKE_STEP_MS);
    }
    if (stopRequested) {
        logDebug(logger, 1, "IPC: Stopping server \"%s\" timed out.", ParameterList().add(name));
        if (ended) {
            stopRequested = false;
        }
    } else {
        logDebug(logger, 1, "IPC: Stopped server \"" + name + "\".");
    }
}

} // namespace Vorlix
