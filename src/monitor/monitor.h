// The attribute monitor: the remembered references, one check of the drive
// table, the warning message and its delivery, and the outcome the window
// shows. Portable: the operating system is reached through MonitorServices.
#pragma once
#include <cstddef>
#include <cstdint>

#include "drive_table.h"
#include "mail_config.h"
#include "smtp_dialogue.h"

enum class StateFileRead { Read, Missing, Unreadable };

// The command on a warning: ended with its children when it runs longer.
enum { CommandTimeoutMs = 60000 };

// How a command could begin. Refused: this copy runs no commands (one
// started as administrator: the command comes from a file the user writes).
enum class CommandStart { Started, Failed, Refused };

// What the command gets in its environment: OSTRIVEL_SUBJECT, the message
// in the file named by OSTRIVEL_MESSAGE_FILE, OSTRIVEL_COMPUTER.
struct CommandRun {
    const char* commandLine;
    const char* subject;
    const char* computerName;
    const char* message;
    size_t messageLength;
};

struct MonitorServices {
    void* context;
    // The state file beside the program, read whole into buffer (at most
    // capacity bytes; a longer file may fill it or fail).
    StateFileRead (*readState)(void* context, char* buffer, size_t capacity, size_t* length);
    // Replaces the state file atomically (as the settings file is saved).
    // On failure, fills why with the file's name and the reason.
    bool (*writeState)(void* context, const char* text, size_t length, char* why, size_t whyCapacity);
    void (*localTime)(void* context, LocalTime* now, int32_t* utcOffsetMinutes);
    uint32_t (*milliseconds)(void* context);
    void (*computerName)(void* context, char* out, size_t capacity);
    // The network, or null when the system has none (no Winsock).
    const SmtpServices* (*network)(void* context);
    // Status-bar part 1: the latest outcome, short (at most 30 characters).
    void (*showOutcome)(void* context, const char* shortText);
    // Asks for MonitorClockTick after delayMs, replacing any earlier request
    // (0: no tick needed any more). Asked again after every network event.
    void (*armClock)(void* context, uint32_t delayMs);
    // The password of MailConfig::password, as the system unprotects it for
    // this account on this computer; false when it cannot (made elsewhere).
    bool (*revealPassword)(void* context, const char* protectedText, char* out, size_t capacity) = nullptr;
    // Starts the command without waiting for it; once Started, its end comes
    // as MonitorCommandEnded (after CommandTimeoutMs at the latest).
    CommandStart (*startCommand)(void* context, const CommandRun& run) = nullptr;
    // A notice to the person (NoticeTitle and this text), whose click shows
    // the drive at `position`. False when the system cannot show one.
    bool (*showNotice)(void* context, const char* text, int32_t position) = nullptr;
};

// The three Setup fields and the refresh period, as the monitor reads them.
// The texts are read up to their NUL or 79 characters, whichever comes first.
struct MonitorSettings {
    const char* emailAddress;
    const char* smtpServer;
    int32_t pollMinutes;
    uint32_t changePercent;
    const MailConfig* mail = nullptr;  // security, login, command; null: none of them
};

// Forgets everything, then reads the state file (an unreadable or malformed
// file starts from fresh references and shows "State file reset", a missing
// one "New state file", until the next delivery's outcome; either is written
// anew). The services must live as long as the monitor. Whenever a save
// fails, part 1 says "State not saved HH:MM".
void MonitorStart(const MonitorServices* services);

// After every read of the drives, before the views show them: the
// thresholds of the drives read in full go into the state file, and the
// drives read without rights get the thresholds kept for them.
void MonitorKeepThresholds(DriveRecord table[DriveCount]);

// For a read that keeps no state (the drive report): the thresholds a state
// file's text keeps, given to the drives read without theirs. Nothing is
// remembered or written.
void ApplyKeptThresholds(const char* stateText, size_t length, DriveRecord table[DriveCount]);

// Warnings go out only with pollMinutes > 0 and a plain address and a good
// server, or no mail fields and a command.
bool MonitorMailEnabled(const MonitorSettings& settings);

// One check of the table against the references; shows a notice of the
// conditions not shown to the person before; sends one message covering
// every condition found when mail is on, else shows "Checked HH:MM" (or which
// field is bad when the fields are filled in but one does not pass). With
// mail off, the notice is the warning: what it showed moves the references as
// a delivered message does. While a
// dialogue runs, the check waits for its end and then reads the table again:
// the table must stay where it is (DriveTable does); finding nothing new then,
// it leaves the delivery's outcome in place.
void MonitorCheck(const DriveRecord table[DriveCount], const MonitorSettings& settings);

// After Setup's OK: a test message when the address or server changed to
// values that pass the checks, whatever pollMinutes holds; "Not sent: bad
// address" or "Not sent: bad server" when they do not; nothing when both
// fields were emptied (mail turned off). Waits for a running dialogue.
void MonitorSettingsChanged(const MonitorSettings& before, const MonitorSettings& after);

// "Send Test": a test message at once with these settings, whatever
// pollMinutes holds. False, doing nothing, while a message is on its way;
// a bad field is shown as the outcome at once.
bool MonitorSendTest(const MonitorSettings& settings);

// A message (a warning or a test) is on its way, by mail or the command.
bool MonitorBusy();

// Network events and the clock, passed on to the dialogue; each finishes the
// dialogue's delivery when it has ended. Without a dialogue they do nothing.
void MonitorHostFound(bool found, uint32_t address);
void MonitorConnected(int error);
void MonitorReceived(const char* bytes, size_t length);
void MonitorWritable();
void MonitorSecured(SmtpOutcome result, const char* problem);
void MonitorClosed();
void MonitorClockTick();
// The command ended: its exit code, or ended by force (timedOut) after
// CommandTimeoutMs.
void MonitorCommandEnded(uint32_t exitCode, bool timedOut);

// The full text of the latest outcome (server, port, the server's reply),
// after the reason of a failed save.
const char* MonitorLastOutcome();

// Back to the state of process start, ending a running dialogue (tests).
void MonitorReset();
