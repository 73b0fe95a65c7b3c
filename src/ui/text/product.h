// Texts that name the product, shared by the window, the status bar and the
// About, Help and Web Site commands.
#pragma once

#define OSTRIVEL_HOME_PAGE "http://www.ostrivel.org/"
#define OSTRIVEL_HELP_FILE "ostrivel.hlp"

inline constexpr char HomePageAddress[] = OSTRIVEL_HOME_PAGE;
inline constexpr char StatusBarText[] = "Ostrivel v1.0 - " OSTRIVEL_HOME_PAGE;
inline constexpr char HelpFileName[] = OSTRIVEL_HELP_FILE;
inline constexpr char ProgramCaption[] = "Ostrivel";
