#include "monitor.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "mail_text.h"
#include "monitor_rules.h"
#include "monitor_state_file.h"
#include "notice.h"
#include "text_buffer.h"
#include "view_text.h"

namespace {

enum { FieldSize = 80, ComputerNameSize = 64, SaveFailureSize = 640 };

const char NamelessPc[] = "this PC";

// The Setup fields as the monitor keeps them: its own terminated copies, so
// a field without a terminator is never read past its 80 bytes.
struct OwnSettings {
    char emailAddress[FieldSize];
    char smtpServer[FieldSize];
    int32_t pollMinutes;
    uint32_t changePercent;
};

enum class Job { None, Warning, Test };

// Short and long words for each way a dialogue can end.
struct OutcomeWords {
    SmtpOutcome outcome;
    const char* shortWord;
    const char* reason;
};

const OutcomeWords OutcomeTable[] = {
    {SmtpOutcome::Sent, "", "the server accepted it"},
    {SmtpOutcome::NoNetwork, "no network", "this system has no network"},
    {SmtpOutcome::HostNotFound, "no host", "the server's name was not found"},
    {SmtpOutcome::Refused, "refused", "the server refused the connection"},
    {SmtpOutcome::TimedOut, "time-out", "the server did not answer in time"},
    {SmtpOutcome::Rejected, "", "the server refused the message"},
    {SmtpOutcome::Closed, "closed", "the server closed the connection before accepting the message"},
    {SmtpOutcome::Failed, "error", "the connection failed or the server's answers did not follow SMTP"},
    {SmtpOutcome::OutOfStep, "out of step", "the server answered before its command had been sent"},
    {SmtpOutcome::NoAnswer, "no answer", "no connection to the server could be made"},
};

// Who speaks in the status bar: a check's "Checked" does not replace a
// notice about the state file, which stays until the next delivery outcome.
enum class Say { Check, Delivery, Notice };

struct Monitor {
    const MonitorServices* services;
    MonitorState state;
    ConditionList found;    // by the latest check
    ConditionList sending;  // what the running dialogue's message covers
    Job job;                // what the running dialogue carries
    bool checkWaiting;
    const DriveRecord* waitingTable;
    OwnSettings waitingSettings;
    bool testWaiting;
    OwnSettings testSettings;
    // What the running dialogue sends, alive until it ends.
    OwnSettings sendingSettings;
    char host[SmtpHostMax + 1];
    uint16_t port;
    char computerName[ComputerNameSize];
    const char* heloName;  // "" when the name is no domain label
    bool noticeHeld;
    char saveFailure[SaveFailureSize];  // why the latest save failed, "" after one that worked
    char mail[MailTextMax];
    uint32_t messageCount;
    char stateText[MonitorStateFileMax + 1];
};

Monitor M;

OwnSettings Own(const MonitorSettings& s)
{
    OwnSettings own = {};
    CopyBounded(own.emailAddress, s.emailAddress);
    CopyBounded(own.smtpServer, s.smtpServer);
    own.pollMinutes = s.pollMinutes;
    own.changePercent = s.changePercent;
    return own;
}

uint32_t Now()
{
    return M.services->milliseconds(M.services->context);
}

LocalTime LocalNow(int32_t* utcOffsetMinutes = nullptr)
{
    LocalTime t = {};
    int32_t offset = 0;
    M.services->localTime(M.services->context, &t, &offset);
    if (utcOffsetMinutes)
        *utcOffsetMinutes = offset;
    return t;
}

struct Stamp {
    char hhmm[8];    // "14:05"
    char full[24];   // "04/03/2025 14:05:09"
};

Stamp StampOf(const LocalTime& t)
{
    Stamp s;
    std::snprintf(s.hhmm, sizeof s.hhmm, "%02d:%02d", t.wHour % 100, t.wMinute % 100);
    std::snprintf(s.full, sizeof s.full, "%02d/%02d/%04d %s:%02d", t.wDay % 100, t.wMonth % 100, t.wYear % 10000,
                  s.hhmm, t.wSecond % 100);
    return s;
}

// Saves the state; a failure is said at once, since the same warnings would
// otherwise go out again at the next start. True when it was saved.
bool SaveState()
{
    char why[SaveFailureSize - 64] = "the state is too large to write";
    const size_t n = FormatMonitorState(M.state, M.stateText, sizeof M.stateText);
    if (n > 0 && M.services->writeState(M.services->context, M.stateText, n, why, sizeof why)) {
        M.saveFailure[0] = '\0';
        return true;
    }
    why[sizeof why - 1] = '\0';
    const Stamp at = StampOf(LocalNow());
    char shortText[32];
    std::snprintf(shortText, sizeof shortText, "State not saved %s", at.hhmm);
    std::snprintf(M.saveFailure, sizeof M.saveFailure, "State not saved %s: %s.", at.full, why);
    M.services->showOutcome(M.services->context, shortText);
    return false;
}

// The latest event wins: its short text goes to the status bar, its long
// text into the state, which is saved. A notice about the state file stays
// until a delivery outcome replaces it.
void Show(Say say, const char* shortText, const char* longFormat, ...)
{
    if (say == Say::Check && M.noticeHeld) {
        SaveState();
        return;
    }
    M.noticeHeld = say == Say::Notice;
    va_list args;
    va_start(args, longFormat);
    std::vsnprintf(M.state.lastOutcome, sizeof M.state.lastOutcome, longFormat, args);
    va_end(args);
    if (SaveState())
        M.services->showOutcome(M.services->context, shortText);
}

// " Not compared, their attribute sectors failing their checksum twice:
// Primary/Slave." for the drives the check had to leave out, else "".
void DescribeUnchecked(uint32_t positions, char* out, size_t size)
{
    TextBuffer note = MakeTextBuffer(out, size);
    for (int d = 0; d < DriveCount; ++d) {
        if (positions & (1u << d)) {
            AppendText(&note, note.length ? ", " : " Not compared, their attribute sectors failing their "
                                                   "checksum twice: ");
            AppendText(&note, ControllerText(d));
        }
    }
    if (note.length)
        AppendText(&note, ".");
}

bool MailOff(const OwnSettings& s)
{
    return s.pollMinutes <= 0 || (s.emailAddress[0] == '\0' && s.smtpServer[0] == '\0');
}

// No way set to deliver a warning: the notice is all the person gets.
bool NoDeliveryWay(const OwnSettings& s)
{
    return MailOff(s);
}

enum class Field { None, Address, Server };

// The first Setup field that keeps mail from going out.
Field FirstBadField(const OwnSettings& s)
{
    char host[SmtpHostMax + 1];
    uint16_t port;
    if (!IsPlainAddress(s.emailAddress))
        return Field::Address;
    if (!ParseSmtpServer(s.smtpServer, host, sizeof host, &port))
        return Field::Server;
    return Field::None;
}

// Says which field keeps mail from going out; false when both pass.
bool ShowBadField(const OwnSettings& s)
{
    const Field bad = FirstBadField(s);
    if (bad == Field::None)
        return false;
    const Stamp at = StampOf(LocalNow());
    char shortText[40];
    std::snprintf(shortText, sizeof shortText, "Not sent %s: bad %s", at.hhmm,
                  bad == Field::Address ? "address" : "server");
    if (bad == Field::Address)
        Show(Say::Delivery, shortText, "Not sent %s: the e-mail address \"%s\" is not one plain address "
             "(name@domain).", at.full, s.emailAddress);
    else
        Show(Say::Delivery, shortText, "Not sent %s: the SMTP server \"%s\" is not \"host\" or \"host:port\".",
             at.full, s.smtpServer);
    return true;
}

void ArmClock()
{
    if (!SmtpRunning()) {
        M.services->armClock(M.services->context, 0);
        return;
    }
    const int32_t left = static_cast<int32_t>(SmtpNextDeadline() - Now());
    M.services->armClock(M.services->context, left > 0 ? static_cast<uint32_t>(left) : 1);
}

const OutcomeWords& WordsOf(SmtpOutcome outcome)
{
    for (const OutcomeWords& w : OutcomeTable) {
        if (w.outcome == outcome)
            return w;
    }
    return OutcomeTable[sizeof OutcomeTable / sizeof OutcomeTable[0] - 1];
}

void ShowDialogueOutcome(Job job, SmtpOutcome outcome, const char* reason = nullptr)
{
    const Stamp at = StampOf(LocalNow());
    const OutcomeWords& words = WordsOf(outcome);
    const char* reply = reason ? "" : SmtpLastReply();  // a reason of our own: no server was asked
    reason = reason ? reason : words.reason;
    char shortText[40];
    if (outcome == SmtpOutcome::Sent)
        std::snprintf(shortText, sizeof shortText, "Sent %s", at.hhmm);
    else if (outcome == SmtpOutcome::Rejected)
        std::snprintf(shortText, sizeof shortText, "Not sent %s: %d", at.hhmm, SmtpReplyCode());
    else
        std::snprintf(shortText, sizeof shortText, "Not sent %s: %s", at.hhmm, words.shortWord);
    char what[48];
    char unchecked[160] = "";
    if (job == Job::Test) {
        std::snprintf(what, sizeof what, "Test message");
    } else {
        std::snprintf(what, sizeof what, "Warning of %d problem(s)", static_cast<int>(M.sending.count));
        DescribeUnchecked(M.sending.uncheckedPositions, unchecked, sizeof unchecked);
    }
    Show(Say::Delivery, shortText, "%s %s %s to %s through %s port %u: %s%s%s%s%s", what,
         outcome == SmtpOutcome::Sent ? "sent" : "not sent", at.full, M.sendingSettings.emailAddress, M.host,
         static_cast<unsigned>(M.port), reason, reply[0] ? "; the server's last reply: \"" : ".", reply,
         reply[0] ? "\"." : "", unchecked);
}

void RunWaiting();

void FinishDialogue()
{
    const Job job = M.job;
    M.job = Job::None;
    M.services->armClock(M.services->context, 0);
    const SmtpOutcome outcome = SmtpResult();
    if (outcome == SmtpOutcome::Sent && job == Job::Warning)
        AcceptDelivered(&M.state, M.sending);
    ShowDialogueOutcome(job, outcome);
    RunWaiting();
}

// After every event the dialogue may have ended, or moved its deadline.
void AfterEvent()
{
    if (M.job == Job::None)
        return;
    if (SmtpRunning())
        ArmClock();
    else
        FinishDialogue();
}

// Starts the dialogue for the text in M.mail; the settings have passed the checks.
void StartDialogue(Job job, const OwnSettings& s, size_t mailLength)
{
    M.sendingSettings = s;
    ParseSmtpServer(s.smtpServer, M.host, sizeof M.host, &M.port);
    if (mailLength == 0) {
        ShowDialogueOutcome(job, SmtpOutcome::Failed, "the message was too long to write");
        return;
    }
    M.job = job;
    const SmtpRequest request{M.host, M.port, M.heloName, M.sendingSettings.emailAddress, M.mail, mailLength};
    SmtpStart(M.services->network(M.services->context), request, Now());
    AfterEvent();
}

MailContext ContextFor(const OwnSettings& s)
{
    M.services->computerName(M.services->context, M.computerName, sizeof M.computerName);
    M.computerName[sizeof M.computerName - 1] = '\0';
    // A name that is no domain label would make a bad greeting: the dialogue
    // then greets with its address, and the mail says "this PC".
    const bool named = IsDomainLabel(M.computerName);
    M.heloName = named ? M.computerName : "";
    MailContext c = {named ? M.computerName : NamelessPc, s.emailAddress, {}, 0, 0};
    c.now = LocalNow(&c.utcOffsetMinutes);
    c.uniqueNumber = Now() + ++M.messageCount * 0x9E3779B9u;
    return c;
}

void StartTest(const OwnSettings& s)
{
    const MailContext c = ContextFor(s);
    M.sending.count = 0;
    StartDialogue(Job::Test, s, FormatTestMail(c, M.mail, sizeof M.mail));
}

void StartWarning(const DriveRecord table[DriveCount], const OwnSettings& s)
{
    SaveState();  // the check's new drives and sightings, before the network's turn
    const MailContext c = ContextFor(s);
    M.sending = M.found;
    StartDialogue(Job::Warning, s, FormatWarningMail(c, M.state, table, M.found, M.mail, sizeof M.mail));
}

// Shows the conditions new to the person, each once. True when the person
// has seen every condition found; with no delivery way set, that moves their
// references as a delivery does.
bool NotifyPerson(const DriveRecord table[DriveCount], const OwnSettings& s)
{
    static Notice notice;
    ComposeNotice(M.state, table, M.found, &notice);
    const bool shown = notice.count > 0 && M.services->showNotice &&
                       M.services->showNotice(M.services->context, notice.text, notice.position);
    KeepShownMarks(&M.state, M.found, shown);
    const bool allSeen = notice.count == 0 || shown;
    if (allSeen && NoDeliveryWay(s))
        AcceptDelivered(&M.state, M.found);
    return allSeen;
}

// A check that waited for a delivery and finds nothing new leaves the
// delivery's outcome in place.
void RunCheck(const DriveRecord table[DriveCount], const OwnSettings& s, bool waited)
{
    CheckDrives(&M.state, table, s.changePercent, &M.found);
    const bool seen = NotifyPerson(table, s);
    const int problems = M.found.count;
    if (problems > 0 && !MailOff(s)) {
        if (!ShowBadField(s))
            StartWarning(table, s);
        return;
    }
    char unchecked[160];
    DescribeUnchecked(M.found.uncheckedPositions, unchecked, sizeof unchecked);
    if (problems == 0 && waited && !unchecked[0]) {
        SaveState();
        return;
    }
    const Stamp at = StampOf(LocalNow());
    char shortText[24];
    std::snprintf(shortText, sizeof shortText, "Checked %s", at.hhmm);
    if (problems == 0)
        Show(Say::Check, shortText, "Checked %s: nothing new to report.%s", at.full, unchecked);
    else
        Show(Say::Check, shortText, "Checked %s: %d problem(s) found; mail is off, %s.%s", at.full, problems,
             seen ? "so the notice was the warning" : "so the next check finds them again", unchecked);
}

void RunWaiting()
{
    if (M.checkWaiting) {
        M.checkWaiting = false;
        RunCheck(M.waitingTable, M.waitingSettings, true);
    }
    if (M.testWaiting && !SmtpRunning()) {
        M.testWaiting = false;
        StartTest(M.testSettings);
    }
}

// A network or clock event goes to the running dialogue with the time now.
template <typename Event, typename... Args>
void PassOn(Event event, Args... args)
{
    if (M.job == Job::None)
        return;  // a late notice of a dialogue that has ended
    event(args..., Now());
    AfterEvent();
}

}  // namespace

void MonitorStart(const MonitorServices* services)
{
    MonitorReset();
    M.services = services;
    size_t length = 0;
    const StateFileRead read = services->readState(services->context, M.stateText, sizeof M.stateText, &length);
    if (read == StateFileRead::Read && length <= sizeof M.stateText &&
        ParseMonitorState(M.stateText, length, &M.state))
        return;
    const Stamp at = StampOf(LocalNow());
    const char* full = at.full;
    if (read == StateFileRead::Missing)
        Show(Say::Notice, "New state file", "New state file %s: the monitor found no state file and starts one.",
             full);
    else
        Show(Say::Notice, "State file reset",
             "State file reset %s: the monitor's state file was %s; the references start afresh.", full,
             read == StateFileRead::Read ? "malformed or too large" : "unreadable");
}

bool MonitorMailEnabled(const MonitorSettings& settings)
{
    const OwnSettings s = Own(settings);
    return s.pollMinutes > 0 && FirstBadField(s) == Field::None;
}

void MonitorCheck(const DriveRecord table[DriveCount], const MonitorSettings& settings)
{
    if (!M.services)
        return;
    if (M.job != Job::None) {
        M.checkWaiting = true;
        M.waitingTable = table;
        M.waitingSettings = Own(settings);
        return;
    }
    RunCheck(table, Own(settings), false);
}

void MonitorSettingsChanged(const MonitorSettings& before, const MonitorSettings& after)
{
    const OwnSettings was = Own(before), now = Own(after);
    if (!M.services || (std::strcmp(was.emailAddress, now.emailAddress) == 0 &&
                        std::strcmp(was.smtpServer, now.smtpServer) == 0))
        return;
    if ((now.emailAddress[0] == '\0' && now.smtpServer[0] == '\0') || ShowBadField(now))
        return;  // mail turned off, or a field is wrong
    if (M.job != Job::None) {
        M.testWaiting = true;
        M.testSettings = now;
        return;
    }
    StartTest(now);
}

void MonitorHostFound(bool found, uint32_t address)
{
    PassOn(SmtpHostFound, found, address);
}

void MonitorConnected(int error)
{
    PassOn(SmtpConnected, error);
}

void MonitorReceived(const char* bytes, size_t length)
{
    PassOn(SmtpReceived, bytes, length);
}

void MonitorWritable()
{
    PassOn(SmtpWritable);
}

void MonitorClosed()
{
    PassOn(SmtpClosed);
}

void MonitorClockTick()
{
    PassOn(SmtpClockTick);
}

const char* MonitorLastOutcome()
{
    if (!M.saveFailure[0])
        return M.state.lastOutcome;
    static char text[int{SaveFailureSize} + int{MonitorOutcomeSize} + 32];
    std::snprintf(text, sizeof text, "%s The latest outcome: %s", M.saveFailure, M.state.lastOutcome);
    return text;
}

void MonitorReset()
{
    SmtpAbort();
    std::memset(&M, 0, sizeof M);
}
