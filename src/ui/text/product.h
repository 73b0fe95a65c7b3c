// Texts that name the product, shared by the window, the status bar and the
// About, Help and Web Site commands.
#pragma once

#define OSTRIVEL_HOME_PAGE "http://www.ostrivel.org/"
#define OSTRIVEL_HELP_FILE "ostrivel.hlp"
#define OSTRIVEL_NAME_VERSION "Ostrivel v1.0"

inline constexpr char HomePageAddress[] = OSTRIVEL_HOME_PAGE;
inline constexpr char NameAndVersion[] = OSTRIVEL_NAME_VERSION;
inline constexpr char StatusBarText[] = OSTRIVEL_NAME_VERSION " - " OSTRIVEL_HOME_PAGE;
inline constexpr char HelpFileName[] = OSTRIVEL_HELP_FILE;
inline constexpr char ProgramCaption[] = "Ostrivel";
