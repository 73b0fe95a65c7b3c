// Where the program keeps its own files: the settings, the monitor's state
// and whatever joins them. One rule for all of them, so that they stay
// together.
#pragma once
#include <windows.h>

#include <cstddef>

// A file's two paths: the one to read and the one a save writes. Either is
// a bare name (beside the program: the start makes the program's folder the
// current directory) or a full path.
struct FilePlace {
    char read[MAX_PATH];
    char write[MAX_PATH];
};

// The paths of the program's file `name`. Windows 9x keeps every file beside
// the program. On Windows NT a program in a protected folder (Program Files)
// cannot create files beside itself, and nothing redirects its writes, so:
// - a file in %APPDATA%\Ostrivel\ is read and written there;
// - else it is written beside the program when a new file can be made
//   there, or else in %APPDATA%\Ostrivel\;
// - and read from beside the program when it is there, else from the copy
//   that Windows redirected for earlier versions (the program's folder
//   without its drive under %LOCALAPPDATA%\VirtualStore), else from where
//   it is written. Saving makes the chosen place hold it, so such a copy is taken
//   over once.
void PlaceProgramFile(const char* name, FilePlace* place);

// Saves the program's file `name` whole (ReplaceFileWhole) where the rule
// puts it, making %APPDATA%\Ostrivel\ when needed; `path` tells where. 1 on
// success, else 0 with the reason left for GetLastError.
int SaveProgramFile(const char* name, const char* prefix, const void* data, size_t length,
                    char (&path)[MAX_PATH]);

// The folders that may hold the program's files, each "" (beside the
// program) or a full path with its trailing backslash; returns how many.
int ProgramFileFolders(char (*folders)[MAX_PATH]);
enum { ProgramFileFoldersMax = 2 };

// Every file is read and written in `folder` (a full path, with or without
// its trailing backslash) alone from now on, whatever the rule above would
// choose; null returns to the rule. For a copy of the program that another
// one started and told where its settings are.
void UseSettingsFolder(const char* folder);
