#include "smtp_dialogue.h"

#include <cstring>

#include "smtp_auth.h"
#include "text_buffer.h"

namespace {

enum class Step {
    Idle, LookingUp, Connecting, Greeting, Ehlo, Helo, MailFrom, RcptTo, Data, Message, Quitting,
    StartTls, Handshake, AuthPlain, AuthLogin, AuthUser, AuthPass,
};

// What each step sends on entry, the reply class that moves it on, and where
// it goes then. Ehlo has a second way out: HELO after a 5xx.
struct StepRule {
    Step step;
    char expected;  // first digit of the good reply
    const char* format;
    const char* SmtpRequest::*argument;
    Step next;
};

const StepRule StepRules[] = {
    {Step::Greeting, '2', nullptr, nullptr, Step::Ehlo},
    {Step::Ehlo, '2', "EHLO %s\r\n", &SmtpRequest::heloName, Step::MailFrom},
    {Step::Helo, '2', "HELO %s\r\n", &SmtpRequest::heloName, Step::MailFrom},
    {Step::MailFrom, '2', "MAIL FROM:<%s>\r\n", &SmtpRequest::address, Step::RcptTo},
    {Step::RcptTo, '2', "RCPT TO:<%s>\r\n", &SmtpRequest::address, Step::Data},
    {Step::Data, '3', "DATA\r\n", nullptr, Step::Message},
    {Step::Message, '2', nullptr, nullptr, Step::Quitting},  // sends the mail text and "."
    {Step::Quitting, '2', "QUIT\r\n", nullptr, Step::Idle},
    {Step::StartTls, '2', "STARTTLS\r\n", nullptr, Step::Handshake},
    // The login's texts are made when sent (LoginArgument).
    {Step::AuthPlain, '2', "AUTH PLAIN %s\r\n", nullptr, Step::MailFrom},
    {Step::AuthLogin, '3', "AUTH LOGIN\r\n", nullptr, Step::AuthUser},
    {Step::AuthUser, '3', "%s\r\n", nullptr, Step::AuthPass},
    {Step::AuthPass, '2', "%s\r\n", nullptr, Step::MailFrom},
};

const char QuitCommand[] = "QUIT\r\n";
constexpr int SendChunkMax = 32768;
constexpr size_t CommandSize = 600;

struct Piece {
    const char* data;
    size_t length;
};

struct Dialogue {
    const SmtpServices* services;
    SmtpRequest request;
    Step step;
    SmtpOutcome outcome;
    bool closeOwed;  // startLookup returned true
    int replyCode;
    uint32_t replyDeadline;
    uint32_t dialogueDeadline;
    SmtpReplyParser parser;
    char lastReply[SmtpReplyLineMax + 1];
    char command[CommandSize];
    char addressLiteral[20];  // "[192.0.2.7]"
    Piece outgoing[2];  // still to send, in order
    int outgoingCount;
    size_t sentOfFirst;
    bool secured;  // the handshake has ended well
    char login[400];
    char tlsProblem[SmtpReplyLineMax + 1];
};

Dialogue D;

// Clock values wrap after 49 days; compare by difference.
bool Reached(uint32_t now, uint32_t deadline)
{
    return static_cast<int32_t>(now - deadline) >= 0;
}

const StepRule& RuleOf(Step step)
{
    for (const StepRule& rule : StepRules) {
        if (rule.step == step)
            return rule;
    }
    return StepRules[0];
}

void Progress(uint32_t now)
{
    D.replyDeadline = now + SmtpReplyTimeoutMs;
}

// Once the server has taken the message, nothing after (QUIT's reply, a
// close, a time-out) undoes that.
void End(SmtpOutcome outcome)
{
    if (D.outcome != SmtpOutcome::Sent)
        D.outcome = outcome;
    D.step = Step::Idle;
    D.outgoingCount = 0;
    Wipe(D.command, sizeof D.command);
    Wipe(D.login, sizeof D.login);
    if (D.closeOwed) {
        D.closeOwed = false;
        D.services->closeConnection(D.services->context);
    }
}

// A refusal: the server hears QUIT when the socket takes it at once.
void EndWithQuit(SmtpOutcome outcome)
{
    if (D.outgoingCount == 0)
        D.services->sendBytes(D.services->context, QuitCommand, static_cast<int>(sizeof QuitCommand - 1));
    End(outcome);
}

bool IsLoginStep(Step step)
{
    return step >= Step::AuthPlain;
}

void EndRejected(int code)
{
    D.replyCode = code;
    EndWithQuit(IsLoginStep(D.step) && (code == 535 || code == 534) ? SmtpOutcome::LoginRefused
                                                                     : SmtpOutcome::Rejected);
}

void Queue(const char* data, size_t length)
{
    D.outgoing[D.outgoingCount++] = {data, length};
}

void Flush(uint32_t now)
{
    while (D.outgoingCount > 0) {
        const Piece& first = D.outgoing[0];
        const size_t left = first.length - D.sentOfFirst;
        const int chunk = left > SendChunkMax ? SendChunkMax : static_cast<int>(left);
        const int n = chunk ? D.services->sendBytes(D.services->context, first.data + D.sentOfFirst, chunk) : 0;
        if (n < 0 || n > chunk) {
            End(SmtpOutcome::Failed);
            return;
        }
        if (n == 0 && chunk > 0)
            return;
        D.sentOfFirst += static_cast<size_t>(n);
        if (n > 0)
            Progress(now);
        if (D.sentOfFirst == first.length) {
            D.outgoing[0] = D.outgoing[1];
            --D.outgoingCount;
            D.sentOfFirst = 0;
        }
    }
}

bool EndsWithCrlf(const char* text, size_t length)
{
    return length >= 2 && text[length - 2] == '\r' && text[length - 1] == '\n';
}

void QueueMessage()
{
    const SmtpRequest& r = D.request;
    Queue(r.mail, r.mailLength);
    if (EndsWithCrlf(r.mail, r.mailLength) || r.mailLength == 0)
        Queue(".\r\n", 3);
    else
        Queue("\r\n.\r\n", 5);
}

// A nameless PC greets with the address literal of its end of the connection.
void UseAddressLiteral()
{
    const uint32_t a = D.services->localAddress(D.services->context);
    TextBuffer out = MakeTextBuffer(D.addressLiteral, sizeof D.addressLiteral);
    AppendFormat(&out, "[%u.%u.%u.%u]", a & 0xFF, a >> 8 & 0xFF, a >> 16 & 0xFF, a >> 24);
    D.request.heloName = D.addressLiteral;
}

// The base64 text that a login step sends; "" for the other steps.
const char* LoginArgument(Step step)
{
    const SmtpRequest& r = D.request;
    const char* password = r.password ? r.password : "";
    D.login[0] = '\0';
    const char* text = step == Step::AuthUser ? r.user : password;
    if (step == Step::AuthPlain)
        EncodePlainLogin(r.user, password, D.login, sizeof D.login);
    else if (step == Step::AuthUser || step == Step::AuthPass)
        EncodeBase64(text, std::strlen(text), D.login, sizeof D.login);
    return D.login;
}

bool QueueCommand(const StepRule& rule)
{
    TextBuffer out = MakeTextBuffer(D.command, sizeof D.command);
    AppendFormat(&out, rule.format, rule.argument ? D.request.*rule.argument : LoginArgument(rule.step));
    if (out.overflow)
        return false;
    Queue(out.data, out.length);
    return true;
}

void StartHandshake(uint32_t now)
{
    D.step = Step::Handshake;
    Progress(now);
    const SmtpServices& s = *D.services;
    if ((!s.startTls || !s.startTls(s.context, D.request.host)) && D.step == Step::Handshake)
        SmtpSecured(SmtpOutcome::TlsFailed, "this system has no TLS", now);
}

void Enter(Step step, uint32_t now)
{
    if (step == Step::Handshake) {
        StartHandshake(now);
        return;
    }
    D.step = step;
    ResetReplyParser(&D.parser);
    const StepRule& rule = RuleOf(step);
    if (rule.argument == &SmtpRequest::heloName && !(D.request.heloName && D.request.heloName[0]))
        UseAddressLiteral();
    if (step == Step::Message) {
        QueueMessage();
    } else if (!QueueCommand(rule)) {
        End(SmtpOutcome::Failed);
        return;
    }
    Flush(now);
}

// After EHLO (or HELO): STARTTLS when asked for and not yet done, then the
// login when there is one, inside TLS only; never on in plain text.
void AfterHello(unsigned extensions, uint32_t now)
{
    const SmtpRequest& r = D.request;
    if (r.security == SmtpSecurity::StartTls && !D.secured)
        (extensions & SmtpStartTls) ? Enter(Step::StartTls, now) : EndWithQuit(SmtpOutcome::NoStartTls);
    else if (r.security == SmtpSecurity::None || !r.user || !r.user[0])
        Enter(Step::MailFrom, now);
    else if (extensions & (SmtpAuthPlain | SmtpAuthLogin))
        Enter(extensions & SmtpAuthPlain ? Step::AuthPlain : Step::AuthLogin, now);
    else
        EndWithQuit(SmtpOutcome::NoLogin);
}

void HandleReply(int code, uint32_t now)
{
    if (D.step != Step::Quitting)  // keep the reply to the message
        std::memcpy(D.lastReply, D.parser.lastLine, sizeof D.lastReply);
    const char digit = static_cast<char>('0' + code / 100);
    if (D.step == Step::Quitting) {
        End(SmtpOutcome::Sent);
    } else if (code != 0 && digit == RuleOf(D.step).expected) {
        if (D.step == Step::Message)
            D.outcome = SmtpOutcome::Sent;
        if (D.step == Step::Ehlo || D.step == Step::Helo)
            AfterHello(D.step == Step::Ehlo ? D.parser.extensions : 0, now);
        else
            Enter(RuleOf(D.step).next, now);
    } else if (D.step == Step::Ehlo && digit == '5') {
        Enter(Step::Helo, now);
    } else if (digit == '4' || digit == '5') {
        EndRejected(code);
    } else {
        End(SmtpOutcome::Failed);
    }
}

bool Connected()
{
    return D.step >= Step::Greeting;
}

// Data or room to write on the socket show that it is connected, whatever
// order the notifications come in.
void TakeAsConnected(uint32_t now)
{
    if (D.step == Step::Connecting)
        SmtpConnected(0, now);
}

}  // namespace

void SmtpStart(const SmtpServices* services, const SmtpRequest& request, uint32_t nowMs)
{
    if (SmtpRunning())
        return;
    std::memset(static_cast<void*>(&D), 0, sizeof D);
    D.services = services;
    D.request = request;
    D.outcome = SmtpOutcome::Running;
    D.dialogueDeadline = nowMs + SmtpDialogueTimeoutMs;
    Progress(nowMs);
    if (!services) {
        End(SmtpOutcome::NoNetwork);
        return;
    }
    D.step = Step::LookingUp;
    D.closeOwed = true;
    if (!services->startLookup(services->context, request.host) && D.step == Step::LookingUp) {
        D.closeOwed = false;
        End(SmtpOutcome::NoNetwork);
    }
}

void SmtpHostFound(bool found, uint32_t address, uint32_t nowMs)
{
    if (D.step != Step::LookingUp)
        return;
    if (!found) {
        End(SmtpOutcome::HostNotFound);
        return;
    }
    D.step = Step::Connecting;
    Progress(nowMs);
    if (!D.services->startConnect(D.services->context, address, D.request.port) && D.step == Step::Connecting)
        End(SmtpOutcome::Failed);
}

void SmtpConnected(int error, uint32_t nowMs)
{
    if (D.step != Step::Connecting)
        return;
    if (error == 0) {
        D.step = Step::Greeting;
        Progress(nowMs);
        if (D.request.security == SmtpSecurity::Tls)
            StartHandshake(nowMs);
    } else {
        End(error == SmtpErrorRefused    ? SmtpOutcome::Refused
            : error == SmtpErrorTimedOut ? SmtpOutcome::NoAnswer
                                         : SmtpOutcome::Failed);
    }
}

// Without PIPELINING a server speaks only when its command has been wholly
// sent: bytes that came before (while it was still going out, or in one
// buffer with the reply that sent it) answer nothing that was asked.
// Plain text after STARTTLS's reply, before the handshake, is the classic
// injection of commands that would then pass as if secured.
void SmtpReceived(const char* bytes, size_t length, uint32_t nowMs)
{
    TakeAsConnected(nowMs);
    if (!Connected() || length == 0)
        return;
    const Step asked = D.step;
    size_t used = 0;
    while (used < length && Connected()) {
        if (D.step != asked || D.outgoingCount > 0 || D.step == Step::Handshake) {
            End(SmtpOutcome::OutOfStep);
            return;
        }
        used += FeedReply(&D.parser, bytes + used, length - used);
        if (D.parser.complete)
            HandleReply(D.parser.code, nowMs);
    }
}

void SmtpWritable(uint32_t nowMs)
{
    TakeAsConnected(nowMs);
    if (Connected())
        Flush(nowMs);
}

void SmtpSecured(SmtpOutcome result, const char* problem, uint32_t nowMs)
{
    if (D.step != Step::Handshake)
        return;
    if (result != SmtpOutcome::Sent) {
        CopyBounded(D.tlsProblem, problem);
        End(result);
        return;
    }
    D.secured = true;
    if (D.request.security == SmtpSecurity::StartTls) {
        Enter(Step::Ehlo, nowMs);  // the server forgets what it was told before
    } else {
        D.step = Step::Greeting;
        Progress(nowMs);
    }
}

void SmtpClosed(uint32_t nowMs)
{
    (void)nowMs;
    if (SmtpRunning())
        End(Connected() ? SmtpOutcome::Closed : SmtpOutcome::NoAnswer);
}

void SmtpClockTick(uint32_t nowMs)
{
    if (SmtpRunning() && Reached(nowMs, SmtpNextDeadline()))
        End(Connected() ? SmtpOutcome::TimedOut : SmtpOutcome::NoAnswer);
}

void SmtpAbort()
{
    if (SmtpRunning())
        End(SmtpOutcome::Failed);
}

bool SmtpRunning()
{
    return D.step != Step::Idle;
}

uint32_t SmtpNextDeadline()
{
    return Reached(D.replyDeadline, D.dialogueDeadline) ? D.dialogueDeadline : D.replyDeadline;
}

SmtpOutcome SmtpResult()
{
    return D.outcome;
}

int SmtpReplyCode()
{
    return D.replyCode;
}

const char* SmtpLastReply()
{
    return D.lastReply;
}

const char* SmtpTlsProblem()
{
    return D.tlsProblem;
}
