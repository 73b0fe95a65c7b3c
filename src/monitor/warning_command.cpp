#include "warning_command.h"

#include "loaded_library.h"
#include "text_buffer.h"

namespace {

constexpr UINT WatchPeriodMs = 200;

// Job objects come with Windows 2000: without them only the command itself
// can be ended, not the programs it started.
struct JobApi {
    decltype(&::CreateJobObjectA) create;
    decltype(&::AssignProcessToJobObject) assign;
    decltype(&::TerminateJobObject) terminate;
};

struct Running {
    HWND window;
    UINT_PTR timerId;
    HANDLE process;
    HANDLE job;
    DWORD started;
    bool ended;  // by force, after its time
    char messageFile[MAX_PATH];
};

Running Command;
char CommandLine[MailCommandSize];

JobApi Jobs;

bool JobsReady()
{
    return Jobs.create || LoadSystemCalls("kernel32.dll", "CreateJobObjectA\0AssignProcessToJobObject\0"
                                          "TerminateJobObject", &Jobs, sizeof Jobs);
}

bool WriteMessageFile(const CommandRun& run, char (&path)[MAX_PATH])
{
    char folder[MAX_PATH];
    const DWORD n = GetTempPathA(sizeof folder, folder);
    if (n == 0 || n >= sizeof folder || !GetTempFileNameA(folder, "ost", 0, path))
        return false;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    bool whole = file != INVALID_HANDLE_VALUE;
    // The text is dot-stuffed for SMTP: the file gets each line as written.
    for (size_t at = 0; whole && at < run.messageLength;) {
        const char* line = run.message + at;
        size_t length = 1;
        while (at + length < run.messageLength && line[length - 1] != '\n')
            ++length;
        at += length;
        const size_t stuffed = length > 1 && line[0] == '.' && line[1] == '.';
        DWORD written = 0;
        whole = WriteFile(file, line + stuffed, static_cast<DWORD>(length - stuffed), &written, nullptr) &&
                written == length - stuffed;
    }
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (!whole)
        DeleteFileA(path);
    return whole;
}

// The environment is the program's own with the three names added: set
// for the moment of CreateProcess, which copies it, and taken out after.
void SetCommandEnvironment(const CommandRun* run, const char* messageFile)
{
    SetEnvironmentVariableA("OSTRIVEL_SUBJECT", run ? run->subject : nullptr);
    SetEnvironmentVariableA("OSTRIVEL_MESSAGE_FILE", run ? messageFile : nullptr);
    SetEnvironmentVariableA("OSTRIVEL_COMPUTER", run ? run->computerName : nullptr);
}

// Suspended until it is in its job, so that nothing it starts escapes.
bool StartProcess(const CommandRun& run)
{
    const bool nt = (GetVersion() & 0x80000000u) == 0;  // CREATE_NO_WINDOW is NT's only
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info = {};
    CopyBounded(CommandLine, run.commandLine);
    SetCommandEnvironment(&run, Command.messageFile);
    const BOOL started = CreateProcessA(nullptr, CommandLine, nullptr, nullptr, FALSE,
                                        CREATE_SUSPENDED | (nt ? CREATE_NO_WINDOW : 0), nullptr, nullptr, &startup,
                                        &info);
    SetCommandEnvironment(nullptr, nullptr);
    if (!started)
        return false;
    Command.job = JobsReady() ? Jobs.create(nullptr, nullptr) : nullptr;
    if (Command.job && !Jobs.assign(Command.job, info.hProcess)) {
        CloseHandle(Command.job);  // the program runs in a job that allows none inside it
        Command.job = nullptr;
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    Command.process = info.hProcess;
    return true;
}

void Close()
{
    KillTimer(Command.window, Command.timerId);
    CloseHandle(Command.process);
    if (Command.job)
        CloseHandle(Command.job);
    DeleteFileA(Command.messageFile);
    Command.process = nullptr;
}

void End()
{
    if (!Command.job || !Jobs.terminate(Command.job, 1))
        TerminateProcess(Command.process, 1);
    Command.ended = true;
}

}  // namespace

CommandStart StartWarningCommand(HWND window, UINT_PTR timerId, const CommandRun& run)
{
    if (Command.process)
        return CommandStart::Failed;
    Command = {window, timerId, nullptr, nullptr, GetTickCount(), false, {}};
    if (!WriteMessageFile(run, Command.messageFile))
        return CommandStart::Failed;
    if (!StartProcess(run)) {
        DeleteFileA(Command.messageFile);
        return CommandStart::Failed;
    }
    if (!SetTimer(window, timerId, WatchPeriodMs, nullptr)) {  // nothing would watch it
        StopWarningCommand();
        return CommandStart::Failed;
    }
    return CommandStart::Started;
}

// A command ended by force is reported at the next tick, once it has let
// go of its message file.
void WatchWarningCommand()
{
    if (!Command.process)
        return;
    DWORD exitCode = 1;
    if (WaitForSingleObject(Command.process, 0) != WAIT_OBJECT_0 && !Command.ended) {
        if (GetTickCount() - Command.started >= CommandTimeoutMs)
            End();
        return;
    }
    if (!Command.ended)
        GetExitCodeProcess(Command.process, &exitCode);
    const bool timedOut = Command.ended;
    Close();
    MonitorCommandEnded(exitCode, timedOut);
}

void StopWarningCommand()
{
    if (Command.process) {
        End();
        WaitForSingleObject(Command.process, 1000);  // the file can go once it has let go of it
        Close();
    }
}
