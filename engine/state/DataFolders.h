#pragma once
// Where the state files of styles are found, after the XDG base directories:
// the user's own folder first ($XDG_DATA_HOME/quelma, by default
// ~/.local/share/quelma), then, in a build tree, Data/ beside the program (an
// installed copy must not shadow the styles that go with the program being
// built), then each of $XDG_DATA_DIRS/quelma (by default /usr/local/share and
// /usr/share), then the share/quelma of the program's installation prefix.
// Both programs find Startup.quelma and the other shipped styles here.
#include <string>
#include <vector>

// The subfolder of each data folder that is ours.
inline constexpr const char* DataSubfolder = "quelma";
// The style every start loads first.
inline constexpr const char* StartupFileName = "Startup.quelma";

// The user's own style folder: "$XDG_DATA_HOME/quelma", or
// "$HOME/.local/share/quelma" when that variable is unset, empty or relative;
// "" when there is no absolute home either. Neither read nor created.
std::string UserDataFolder();

// Every folder to look in, first to last, each once, whether it exists or
// not. ProgramFolder is the running program's folder ("" for none).
std::vector<std::string> DataFolders(const std::string& ProgramFolder);

// The first regular file called Name in DataFolders(ProgramFolder); "" when
// none has it.
std::string FindDataFile(const std::string& Name, const std::string& ProgramFolder);

// The folder of the shipped styles: the first one after the user's own that
// holds Startup.quelma, else the first after it that exists; "" for none.
std::string ShippedDataFolder(const std::string& ProgramFolder);

// The folder of the running program (from /proc/self/exe); "" when unknown.
std::string RunningProgramFolder();
