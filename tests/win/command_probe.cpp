// The monitor tests' command on a warning, "command_probe OUT-FILE EXIT-CODE|hang":
// writes its environment and the message to OUT-FILE and ends with EXIT-CODE;
// "hang" adds the id of a copy of itself that hangs ("child"), and hangs too.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    FILE* out = argc == 3 ? std::fopen(argv[1], "wb") : nullptr;
    if (!out)
        Sleep(INFINITE);  // the child, or a wrong call: the test ends it
    static const char* const names[] = {"OSTRIVEL_SUBJECT", "OSTRIVEL_COMPUTER", "OSTRIVEL_MESSAGE_FILE"};
    for (const char* name : names)
        std::fprintf(out, "%s=%s\n", name, std::getenv(name) ? std::getenv(name) : "(none)");
    char text[4096];
    if (FILE* message = std::fopen(std::getenv("OSTRIVEL_MESSAGE_FILE"), "rb"))
        std::fwrite(text, 1, std::fread(text, 1, sizeof text, message), out);
    if (std::strcmp(argv[2], "hang") == 0) {
        std::snprintf(text, sizeof text, "\"%s\" child", argv[0]);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION child = {};
        if (CreateProcessA(nullptr, text, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
            std::fprintf(out, "\nCHILD=%lu\n", child.dwProcessId);
        std::fclose(out);
        Sleep(INFINITE);
    }
    std::fclose(out);
    return std::atoi(argv[2]);
}
