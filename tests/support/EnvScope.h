// Sets an environment variable for the life of the object and puts the old value back.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

class TEnvScope {
 public:
  // A null value unsets the variable.
  TEnvScope(const char* name, const char* value) : FName(name) {
    if (const char* old = std::getenv(name)) FOld = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~TEnvScope() {
    if (FOld)
      setenv(FName.c_str(), FOld->c_str(), 1);
    else
      unsetenv(FName.c_str());
  }
  TEnvScope(const TEnvScope&) = delete;
  TEnvScope& operator=(const TEnvScope&) = delete;

 private:
  std::string FName;
  std::optional<std::string> FOld;
};
