#pragma once
// Sets (or, with nullptr, unsets) an environment variable for a scope; the
// old value returns at its end.
#include <cstdlib>
#include <optional>
#include <string>

class TScopedEnv {
public:
  TScopedEnv(const char* Name, const char* Value) : FName(Name) {
    if (const char* Old = std::getenv(Name))
      FOld = Old;
    Value ? setenv(Name, Value, 1) : unsetenv(Name);
  }
  TScopedEnv(const char* Name, const std::string& Value) : TScopedEnv(Name, Value.c_str()) {}
  ~TScopedEnv() { FOld ? setenv(FName.c_str(), FOld->c_str(), 1) : unsetenv(FName.c_str()); }
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
  std::string FName;
  std::optional<std::string> FOld;
};
