// Run by the monitor's tests as the command on a warning:
//     command_probe OUT-FILE EXIT-CODE | hang | child
// writes what it got (its environment and the message file's name and text)
// to OUT-FILE and ends with EXIT-CODE; "hang" starts a copy of itself that
// hangs ("child"), adds that copy's process id, and hangs too.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "child") == 0)
        Sleep(INFINITE);
    if (argc != 3)
        return 2;
    FILE* out = std::fopen(argv[1], "wb");
    if (!out)
        return 2;
    const char* names[] = {"OSTRIVEL_SUBJECT", "OSTRIVEL_COMPUTER", "OSTRIVEL_MESSAGE_FILE"};
    for (const char* name : names) {
        const char* value = std::getenv(name);
        std::fprintf(out, "%s=%s\n", name, value ? value : "(none)");
    }
    if (FILE* message = std::fopen(std::getenv("OSTRIVEL_MESSAGE_FILE") ? std::getenv("OSTRIVEL_MESSAGE_FILE") : "",
                                   "rb")) {
        char text[4096];
        std::fwrite(text, 1, std::fread(text, 1, sizeof text, message), out);
        std::fclose(message);
    }
    if (std::strcmp(argv[2], "hang") == 0) {
        char self[MAX_PATH], line[MAX_PATH + 16];
        GetModuleFileNameA(nullptr, self, sizeof self);
        std::snprintf(line, sizeof line, "\"%s\" child", self);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION child = {};
        if (CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
            std::fprintf(out, "\nCHILD=%lu\n", child.dwProcessId);
        std::fclose(out);
        Sleep(INFINITE);
    }
    std::fclose(out);
    return std::atoi(argv[2]);
}
