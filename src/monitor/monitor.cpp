#include "monitor.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "mail_text.h"
#include "monitor_rules.h"
#include "monitor_state_file.h"
#include "notice.h"
#include "smtp_auth.h"
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
    MailConfig mail;
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
    {SmtpOutcome::NoStartTls, "no STARTTLS", "the server does not offer STARTTLS, and nothing goes out unprotected"},
    {SmtpOutcome::Certificate, "certificate", "the server's certificate failed the check"},
    {SmtpOutcome::TlsFailed, "TLS failed", "TLS 1.2 or later could not be set up"},
    {SmtpOutcome::LoginRefused, "login refused", "the server refused the user name or password"},
    {SmtpOutcome::NoLogin, "no login", "the server offers no login that this program speaks (AUTH PLAIN or LOGIN)"},
    {SmtpOutcome::OutOfStep, "out of step", "the server answered before its command had been sent"},
    {SmtpOutcome::NoAnswer, "no answer", "no connection to the server could be made"},
};

// What became of the command on a warning.
enum class CommandState : uint8_t { None, Running, Ran, Failed, TimedOut, NotStarted, Refused };

struct CommandWords {
    CommandState state;
    const char* shortWord;
    const char* sentence;  // takes the exit code
};

const CommandWords CommandTable[] = {
    {CommandState::Ran, "command ran", " The command on a warning ended with exit code %u."},
    {CommandState::Failed, "command failed", " The command on a warning ended with exit code %u."},
    {CommandState::TimedOut, "command timed out",
     " The command on a warning was ended after 60 seconds, with the programs it had started."},
    {CommandState::NotStarted, "command did not start", " The command on a warning could not be started."},
    {CommandState::Refused, "no command", " A copy started as administrator runs no command on a warning."},
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
    char password[MailPasswordMax + 1];  // while a dialogue runs
    // The running delivery: by mail when the Setup fields are set, and by
    // the command when there is one.
    bool mailOn;
    SmtpOutcome mailOutcome;
    const char* mailReason;  // why the mail did not start, else null
    const char* mailShort;
    CommandState command;
    uint32_t exitCode;
    char subject[160];
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
    if (s.mail)
        own.mail = *s.mail;
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

bool MailFieldsEmpty(const OwnSettings& s)
{
    return s.emailAddress[0] == '\0' && s.smtpServer[0] == '\0';
}

// Neither mail nor a command would carry a warning.
bool DeliveryOff(const OwnSettings& s)
{
    return MailFieldsEmpty(s) && s.mail.command[0] == '\0';
}

bool MailOff(const OwnSettings& s)
{
    return s.pollMinutes <= 0 || DeliveryOff(s);
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
    const Field bad = MailFieldsEmpty(s) ? Field::None : FirstBadField(s);
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

const CommandWords& WordsOf(CommandState state)
{
    for (const CommandWords& w : CommandTable) {
        if (w.state == state)
            return w;
    }
    return CommandTable[0];
}

// The short text of the mail's part: "Sent 14:05", "Not sent 14:05: 550".
void MailShortText(const OutcomeWords& words, const Stamp& at, TextBuffer* out)
{
    if (M.mailOutcome == SmtpOutcome::Sent)
        AppendFormat(out, "Sent %s", at.hhmm);
    else if (M.mailOutcome == SmtpOutcome::Rejected)
        AppendFormat(out, "Not sent %s: %d", at.hhmm, SmtpReplyCode());
    else
        AppendFormat(out, "Not sent %s: %s", at.hhmm, M.mailShort ? M.mailShort : words.shortWord);
}

// Names the mail's and the command's part: "Sent 14:05", "Command ran
// 14:05", "Not sent 14:05: refused; command ran".
void ShowDeliveryOutcome(Job job)
{
    const Stamp at = StampOf(LocalNow());
    char what[48];
    char unchecked[160] = "";
    if (job == Job::Test) {
        std::snprintf(what, sizeof what, "Test message");
    } else {
        std::snprintf(what, sizeof what, "Warning of %d problem(s)", static_cast<int>(M.sending.count));
        DescribeUnchecked(M.sending.uncheckedPositions, unchecked, sizeof unchecked);
    }
    char commandText[120] = "";
    char shortText[64];
    TextBuffer shortOut = MakeTextBuffer(shortText, sizeof shortText);
    const CommandWords& command = WordsOf(M.command);
    if (M.command != CommandState::None)
        std::snprintf(commandText, sizeof commandText, command.sentence, static_cast<unsigned>(M.exitCode));
    if (!M.mailOn) {
        const bool ran = M.command == CommandState::Ran;
        if (ran)
            AppendFormat(&shortOut, "Command ran %s", at.hhmm);
        else
            AppendFormat(&shortOut, "Not sent %s: %s", at.hhmm, command.shortWord);
        Show(Say::Delivery, shortText, "%s %s %s.%s%s", what, ran ? "handed to the command" : "not delivered",
             at.full, commandText, unchecked);
        return;
    }
    const OutcomeWords& words = WordsOf(M.mailOutcome);
    const char* reason = M.mailReason;
    const char* reply = reason ? "" : SmtpLastReply();  // a reason of our own: no server was asked
    char tls[SmtpReplyLineMax + 80];
    if (!reason && SmtpTlsProblem()[0]) {
        std::snprintf(tls, sizeof tls, "%s: %s", words.reason, SmtpTlsProblem());
        reason = tls;
    }
    reason = reason ? reason : words.reason;
    MailShortText(words, at, &shortOut);
    if (M.command != CommandState::None)
        AppendFormat(&shortOut, "; %s", command.shortWord);
    Show(Say::Delivery, shortText, "%s %s %s to %s through %s port %u: %s%s%s%s%s%s", what,
         M.mailOutcome == SmtpOutcome::Sent ? "sent" : "not sent", at.full, M.sendingSettings.emailAddress, M.host,
         static_cast<unsigned>(M.port), reason, reply[0] ? "; the server's last reply: \"" : ".", reply,
         reply[0] ? "\"." : "", commandText, unchecked);
}

void RunWaiting();

// A warning is delivered when the mail or the command got it through.
void FinishDelivery()
{
    const Job job = M.job;
    M.job = Job::None;
    Wipe(M.password, sizeof M.password);
    M.services->armClock(M.services->context, 0);
    if (M.mailOn && !M.mailReason)
        M.mailOutcome = SmtpResult();
    const bool delivered = (M.mailOn && M.mailOutcome == SmtpOutcome::Sent) || M.command == CommandState::Ran;
    if (delivered && job == Job::Warning)
        AcceptDelivered(&M.state, M.sending);
    ShowDeliveryOutcome(job);
    RunWaiting();
}

// After every event the dialogue may have ended, or moved its deadline.
void AfterEvent()
{
    if (M.job == Job::None)
        return;
    ArmClock();
    if (!SmtpRunning() && M.command != CommandState::Running)
        FinishDelivery();
}

// The login's password, unprotected for this dialogue only; false when the
// system cannot unprotect it (it was stored by another account or computer).
bool RevealPassword(const MailConfig& mail)
{
    M.password[0] = '\0';
    return mail.security == SmtpSecurity::None || !mail.user[0] || !mail.password[0] ||
           M.services->revealPassword(M.services->context, mail.password, M.password, sizeof M.password);
}

// The Subject header's text, unfolded, for the command's environment.
void TakeSubject(size_t mailLength)
{
    TextBuffer out = MakeTextBuffer(M.subject, sizeof M.subject);
    const char* const end = M.mail + mailLength;
    bool inSubject = false;
    for (const char* line = M.mail; line < end && *line != '\r';) {  // the headers end at a blank line
        const char* eol = line;
        while (eol < end && *eol != '\r')
            ++eol;
        const bool continued = *line == ' ' || *line == '\t';
        inSubject = continued ? inSubject : std::strncmp(line, "Subject: ", 9) == 0;
        if (inSubject) {
            const char* text = continued ? line : line + 9;
            AppendBytes(&out, text, static_cast<size_t>(eol - text));
        }
        line = eol + 2;
    }
}

void StartCommand(const MailConfig& mail, size_t mailLength)
{
    TakeSubject(mailLength);
    const CommandRun run{mail.command, M.subject, M.computerName[0] ? M.computerName : NamelessPc, M.mail, mailLength};
    const CommandStart start =
        M.services->startCommand ? M.services->startCommand(M.services->context, run) : CommandStart::Failed;
    M.command = start == CommandStart::Started ? CommandState::Running
              : start == CommandStart::Refused ? CommandState::Refused
                                               : CommandState::NotStarted;
}

void StartMail(const MailConfig& mail, size_t mailLength)
{
    if (!RevealPassword(mail)) {
        M.mailOutcome = SmtpOutcome::NoLogin;
        M.mailReason = "the stored password was protected by another account or computer and must be entered "
                       "again (Setup, Mail Server)";
        M.mailShort = "password must be entered again";
        return;
    }
    const SmtpRequest request{M.host,     M.port,        M.heloName, M.sendingSettings.emailAddress,
                              M.mail,     mailLength,    mail.security, mail.user, M.password};
    SmtpStart(M.services->network(M.services->context), request, Now());
}

// Hands the text in M.mail to the mail and the command, as the settings
// ask; the settings have passed the checks.
void StartDelivery(Job job, const OwnSettings& s, size_t mailLength)
{
    M.sendingSettings = s;
    const MailConfig& mail = M.sendingSettings.mail;
    ParseSmtpServer(s.smtpServer, M.host, sizeof M.host, &M.port, DefaultSmtpPort(mail.security));
    M.job = job;
    M.mailOn = !MailFieldsEmpty(s);
    M.mailReason = M.mailShort = nullptr;
    M.command = CommandState::None;
    if (mailLength == 0) {  // nothing to hand to anyone
        M.mailOn = true;
        M.mailOutcome = SmtpOutcome::Failed;
        M.mailReason = "the message was too long to write";
    } else {
        if (mail.command[0])
            StartCommand(mail, mailLength);
        if (M.mailOn)
            StartMail(mail, mailLength);
    }
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
    StartDelivery(Job::Test, s, FormatTestMail(c, M.mail, sizeof M.mail));
}

void StartWarning(const DriveRecord table[DriveCount], const OwnSettings& s)
{
    SaveState();  // the check's new drives and sightings, before the network's turn
    const MailContext c = ContextFor(s);
    M.sending = M.found;
    StartDelivery(Job::Warning, s, FormatWarningMail(c, M.state, table, M.found, M.mail, sizeof M.mail));
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
    if (M.testWaiting && M.job == Job::None) {
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

void MonitorKeepThresholds(DriveRecord table[DriveCount])
{
    if (M.services && KeepThresholds(&M.state, table))
        SaveState();
}

void ApplyKeptThresholds(const char* stateText, size_t length, DriveRecord table[DriveCount])
{
    static MonitorState kept;
    if (ParseMonitorState(stateText, length, &kept))
        KeepThresholds(&kept, table);
}

bool MonitorMailEnabled(const MonitorSettings& settings)
{
    const OwnSettings s = Own(settings);
    return !MailOff(s) && (MailFieldsEmpty(s) || FirstBadField(s) == Field::None);
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
    static OwnSettings was, now;
    was = Own(before);
    now = Own(after);
    if (!M.services || (std::strcmp(was.emailAddress, now.emailAddress) == 0 &&
                        std::strcmp(was.smtpServer, now.smtpServer) == 0 && SameMailConfig(was.mail, now.mail)))
        return;
    if (DeliveryOff(now) || ShowBadField(now))
        return;  // mail and the command turned off, or a field is wrong
    if (M.job != Job::None) {
        M.testWaiting = true;
        M.testSettings = now;
        return;
    }
    StartTest(now);
}

bool MonitorSendTest(const MonitorSettings& settings)
{
    if (!M.services || M.job != Job::None)
        return false;
    M.testSettings = Own(settings);
    if (!ShowBadField(M.testSettings))
        StartTest(M.testSettings);
    return true;
}

bool MonitorBusy()
{
    return M.job != Job::None;
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

void MonitorSecured(SmtpOutcome result, const char* problem)
{
    PassOn(SmtpSecured, result, problem);
}

void MonitorClosed()
{
    PassOn(SmtpClosed);
}

void MonitorClockTick()
{
    PassOn(SmtpClockTick);
}

void MonitorCommandEnded(uint32_t exitCode, bool timedOut)
{
    if (M.command != CommandState::Running)
        return;
    M.exitCode = exitCode;
    M.command = timedOut ? CommandState::TimedOut : exitCode == 0 ? CommandState::Ran : CommandState::Failed;
    AfterEvent();
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
