#include "KeyFile.h"

#include <charconv>
#include <fstream>
#include <sstream>

std::string_view Trim(std::string_view Text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!Text.empty() && blank(Text.front()))
    Text.remove_prefix(1);
  while (!Text.empty() && blank(Text.back()))
    Text.remove_suffix(1);
  return Text;
}

std::optional<int> ParseInt(std::string_view Text) {
  Text = Trim(Text);
  if (!Text.empty() && Text.front() == '+')
    Text.remove_prefix(1);
  int v = 0;
  const auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), v);
  if (ec != std::errc() || end != Text.data() + Text.size() || Text.empty())
    return std::nullopt;
  return v;
}

const std::string* TKeyFileGroup::Find(std::string_view Key) const {
  for (const auto& [k, v] : Entries)
    if (k == Key)
      return &v;
  return nullptr;
}

std::string ReadTextFile(const std::filesystem::path& FileName) {
  std::ifstream in(FileName, std::ios::binary);
  if (!in)
    return {};
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TKeyFile TKeyFile::Load(const std::filesystem::path& FileName) {
  return Parse(ReadTextFile(FileName));
}

TKeyFile TKeyFile::Parse(std::string_view Text) {
  TKeyFile f;
  while (!Text.empty()) {
    const size_t eol = Text.find('\n');
    std::string_view line = Text.substr(0, eol);
    Text.remove_prefix(eol == std::string_view::npos ? Text.size() : eol + 1);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() == '#' || t.front() == ';')
      continue;
    if (t.front() == '[' && t.back() == ']') {
      f.Groups.push_back({std::string(t.substr(1, t.size() - 2)), {}});
      continue;
    }
    const size_t eq = t.find('=');
    if (eq == std::string_view::npos || f.Groups.empty())
      continue;
    f.Groups.back().Entries.emplace_back(std::string(Trim(t.substr(0, eq))),
                                         std::string(Trim(t.substr(eq + 1))));
  }
  return f;
}

const TKeyFileGroup* TKeyFile::Group(std::string_view Name) const {
  for (const TKeyFileGroup& g : Groups)
    if (g.Name == Name)
      return &g;
  return nullptr;
}

const std::string* TKeyFile::Value(std::string_view GroupName, std::string_view Key) const {
  const TKeyFileGroup* g = Group(GroupName);
  return g ? g->Find(Key) : nullptr;
}
