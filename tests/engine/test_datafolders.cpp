// The data folders: the XDG base directory rules (unset, empty and relative
// values), their order, the folders beside the program, and which file and
// which shipped folder are found.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "DataFolders.h"
#include "ScopedEnv.h"

namespace fs = std::filesystem;

namespace {

using TList = std::vector<std::string>;

TEST(DataFolders, FollowTheBaseDirectoryRules) {
  const char* const Unset = nullptr;
  const struct {
    const char* What;
    const char* Home;
    const char* DataHome;
    const char* DataDirs;
    const char* Program;
    const char* User;
    TList Expected;
  } Cases[] = {
      {"defaults",
       "/home/u",
       Unset,
       Unset,
       "/opt/q/bin",
       "/home/u/.local/share/quelma",
       {"/home/u/.local/share/quelma", "/opt/q/bin/Data", "/usr/local/share/quelma",
        "/usr/share/quelma", "/opt/q/share/quelma"}},
      {"data home set",
       "/home/u",
       "/x/data/",
       Unset,
       "",
       "/x/data/quelma",
       {"/x/data/quelma", "/usr/local/share/quelma", "/usr/share/quelma"}},
      {"empty values mean the defaults",
       "/home/u",
       "",
       "",
       "",
       "/home/u/.local/share/quelma",
       {"/home/u/.local/share/quelma", "/usr/local/share/quelma", "/usr/share/quelma"}},
      {"a relative data home is ignored",
       "/home/u",
       "rel/data",
       Unset,
       "",
       "/home/u/.local/share/quelma",
       {"/home/u/.local/share/quelma", "/usr/local/share/quelma", "/usr/share/quelma"}},
      {"no absolute home: no user folder", "relative", Unset, "/a", "", "", {"/a/quelma"}},
      {"several data dirs in order; relative and empty entries ignored",
       "/home/u",
       Unset,
       "/b:rel/x::/a/./c/:",
       "",
       "/home/u/.local/share/quelma",
       {"/home/u/.local/share/quelma", "/b/quelma", "/a/c/quelma"}},
      {"each folder once",
       "/home/u",
       Unset,
       "/home/u/.local/share:/usr/share:/usr/share/",
       "/usr/bin",
       "/home/u/.local/share/quelma",
       {"/home/u/.local/share/quelma", "/usr/bin/Data", "/usr/share/quelma"}},
      {"a relative program folder adds nothing",
       "/home/u",
       "/d",
       "/s",
       "build/app",
       "/d/quelma",
       {"/d/quelma", "/s/quelma"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    TScopedEnv Home("HOME", C.Home), DataHome("XDG_DATA_HOME", C.DataHome),
        DataDirs("XDG_DATA_DIRS", C.DataDirs);
    EXPECT_EQ(DataFolders(C.Program), C.Expected);
    EXPECT_EQ(UserDataFolder(), C.User);
  }
}

class DataFiles : public ::testing::Test {
protected:
  void SetUp() override {
    char Tmpl[] = "/tmp/quelma-datafolders-XXXXXX";
    ASSERT_NE(mkdtemp(Tmpl), nullptr);
    Root = Tmpl;
  }
  void TearDown() override {
    std::error_code Ec;
    fs::remove_all(Root, Ec);
  }
  // Writes Root/Relative with Text, making its folders.
  std::string Put(const std::string& Relative, const std::string& Text) {
    const fs::path P = Root / Relative;
    fs::create_directories(P.parent_path());
    std::ofstream(P) << Text;
    return P.string();
  }
  std::string In(const std::string& Relative) const { return (Root / Relative).string(); }
  fs::path Root;
};

TEST_F(DataFiles, TheFirstFolderHoldingTheFileWins) {
  TScopedEnv Home("HOME", In("home")), DataHome("XDG_DATA_HOME", In("user")),
      DataDirs("XDG_DATA_DIRS", In("local") + ":" + In("system"));
  const std::string Program = In("build/app");
  const std::string System = Put("system/quelma/Startup.quelma", "system");
  EXPECT_EQ(FindDataFile(StartupFileName, Program), System);
  // A folder of that name is not the file.
  fs::create_directories(Root / "local/quelma/Startup.quelma");
  EXPECT_EQ(FindDataFile(StartupFileName, Program), System);
  const std::string Build = Put("build/app/Data/Startup.quelma", "build");
  EXPECT_EQ(FindDataFile(StartupFileName, Program), Build)
      << "a build tree's own before any system copy";
  const std::string User = Put("user/quelma/Startup.quelma", "user");
  EXPECT_EQ(FindDataFile(StartupFileName, Program), User);
  EXPECT_EQ(FindDataFile("Neon.quelma", Program), "");
}

TEST_F(DataFiles, TheShippedFolderIsNeverTheUsersOwn) {
  TScopedEnv Home("HOME", In("home")), DataHome("XDG_DATA_HOME", In("user")),
      DataDirs("XDG_DATA_DIRS", In("empty") + ":" + In("system"));
  const std::string Program = In("prefix/bin");
  EXPECT_EQ(ShippedDataFolder(Program), "");
  Put("user/quelma/Startup.quelma", "user");
  EXPECT_EQ(ShippedDataFolder(Program), "") << "only the user's folder has styles";
  fs::create_directories(Root / "empty/quelma");
  EXPECT_EQ(ShippedDataFolder(Program), In("empty/quelma")) << "a folder without the start-up";
  Put("prefix/share/quelma/Startup.quelma", "installed");
  EXPECT_EQ(ShippedDataFolder(Program), In("prefix/share/quelma"));
  Put("system/quelma/Startup.quelma", "system");
  EXPECT_EQ(ShippedDataFolder(Program), In("system/quelma"));
}

} // namespace
