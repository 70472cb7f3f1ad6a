#include "DataFolders.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace fs = std::filesystem;

namespace {

// The value of an environment variable, "" when unset.
std::string Env(const char* Name) {
  const char* V = std::getenv(Name);
  return V ? std::string(V) : std::string();
}

// The base directory rules ignore relative paths wherever they appear.
bool Usable(const std::string& Path) {
  return !Path.empty() && fs::path(Path).is_absolute();
}

std::string DataHome() {
  const std::string Set = Env("XDG_DATA_HOME");
  if (Usable(Set))
    return Set;
  const std::string Home = Env("HOME");
  return Usable(Home) ? (fs::path(Home) / ".local" / "share").string() : std::string();
}

std::vector<std::string> DataDirs() {
  std::string List = Env("XDG_DATA_DIRS");
  if (List.empty())
    List = "/usr/local/share:/usr/share";
  std::vector<std::string> Dirs;
  std::string_view Rest = List;
  while (!Rest.empty()) {
    const std::size_t Colon = Rest.find(':');
    const std::string Entry(Rest.substr(0, Colon));
    if (Usable(Entry))
      Dirs.push_back(Entry);
    Rest = Colon == std::string_view::npos ? std::string_view() : Rest.substr(Colon + 1);
  }
  return Dirs;
}

// "/a/b/", "/a/./b" and "/a/c/../b" are one folder.
std::string Normal(const fs::path& P) {
  std::string S = P.lexically_normal().string();
  while (S.size() > 1 && S.back() == '/')
    S.pop_back();
  return S;
}

} // namespace

std::string UserDataFolder() {
  const std::string Home = DataHome();
  return Home.empty() ? std::string() : Normal(fs::path(Home) / DataSubfolder);
}

std::vector<std::string> DataFolders(const std::string& ProgramFolder) {
  std::vector<std::string> Folders;
  auto Add = [&Folders](const fs::path& P) {
    const std::string N = Normal(P);
    if (std::find(Folders.begin(), Folders.end(), N) == Folders.end())
      Folders.push_back(N);
  };
  if (const std::string User = UserDataFolder(); !User.empty())
    Add(User);
  const bool program = Usable(ProgramFolder);
  // A build tree copies the shipped styles beside each program: they are the
  // ones that go with it, even where an installed copy exists too.
  if (program)
    Add(fs::path(ProgramFolder) / "Data");
  for (const std::string& Dir : DataDirs())
    Add(fs::path(Dir) / DataSubfolder);
  // <prefix>/bin/quelma with <prefix>/share/quelma, wherever the prefix is.
  if (program)
    Add(fs::path(ProgramFolder) / ".." / "share" / DataSubfolder);
  return Folders;
}

std::string FindDataFile(const std::string& Name, const std::string& ProgramFolder) {
  std::error_code Ec;
  for (const std::string& Folder : DataFolders(ProgramFolder)) {
    const fs::path P = fs::path(Folder) / Name;
    if (fs::is_regular_file(P, Ec))
      return P.string();
  }
  return {};
}

std::string ShippedDataFolder(const std::string& ProgramFolder) {
  std::vector<std::string> Folders = DataFolders(ProgramFolder);
  const std::string User = UserDataFolder();
  Folders.erase(std::remove(Folders.begin(), Folders.end(), User), Folders.end());
  std::error_code Ec;
  for (const std::string& Folder : Folders)
    if (fs::is_regular_file(fs::path(Folder) / StartupFileName, Ec))
      return Folder;
  for (const std::string& Folder : Folders)
    if (fs::is_directory(Folder, Ec))
      return Folder;
  return {};
}

std::string RunningProgramFolder() {
  std::error_code Ec;
  const fs::path Exe = fs::read_symlink("/proc/self/exe", Ec);
  return Ec ? std::string() : Exe.parent_path().string();
}
