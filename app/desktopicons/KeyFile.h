#pragma once
// The "[group]" / "key=value" text files that desktops keep their settings
// and icon positions in. Reading only; lines that are neither are ignored.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct TKeyFileGroup {
  std::string Name;
  std::vector<std::pair<std::string, std::string>> Entries; // in file order, keys trimmed
  const std::string* Find(std::string_view Key) const;
};

class TKeyFile {
public:
  // An empty file when it cannot be read.
  static TKeyFile Load(const std::filesystem::path& FileName);
  static TKeyFile Parse(std::string_view Text);

  std::vector<TKeyFileGroup> Groups; // in file order
  const TKeyFileGroup* Group(std::string_view Name) const;
  const std::string* Value(std::string_view Group, std::string_view Key) const;
};

// A whole decimal integer (optional sign, surrounding blanks allowed), else nullopt.
std::optional<int> ParseInt(std::string_view Text);
std::string_view Trim(std::string_view Text);
// The file's bytes; empty when it cannot be read.
std::string ReadTextFile(const std::filesystem::path& FileName);
