#pragma once
// "Start with the desktop": an XDG autostart entry that has the desktop start
// the program in the tray at every login. The entry is
// $XDG_CONFIG_HOME/autostart/org.quelma.Quelma.desktop (by default under
// ~/.config); the System tab's box writes and removes it.
#include <QString>

inline constexpr const char* AutostartEntryName = "org.quelma.Quelma.desktop";

// Where the entry is; "" when there is no absolute config folder.
QString AutostartFile();

// The entry exists and does not turn itself off (Hidden=true, or
// X-GNOME-Autostart-enabled=false).
bool AutostartEnabled();

// Writes the entry for Program (the running program's path) or removes it;
// true when the entry is then as asked.
bool SetAutostart(bool Enabled, const QString& Program);

// The entry that starts Program with /TRAY.
QString AutostartEntry(const QString& Program);

// How an entry names Program: its bare name when that name found on PATH is
// Program itself (an installation), else its absolute path (a build tree),
// quoted as a desktop entry's Exec key needs.
QString AutostartCommand(const QString& Program);
