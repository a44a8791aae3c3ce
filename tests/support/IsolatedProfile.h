// Every test process runs in a profile of its own: an empty home and XDG folders made for it, removed
// when it ends, so that nothing a desktop or an earlier run left (Qt's remembered dialog state,
// settings, caches, temporary files) can change what a test sees. No Qt here: the decoder tests use it
// too. Build it before any QApplication, which reads these variables.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

class IsolatedProfile {
 public:
  IsolatedProfile() {
    const char* base = std::getenv("TMPDIR");
    std::string root = std::string(base && *base ? base : "/tmp") + "/vrn-test-profile-XXXXXX";
    if (!mkdtemp(root.data())) {
      std::perror("mkdtemp");
      std::abort();
    }
    root_ = root;
    use("HOME", "home", 0755);
    use("XDG_CONFIG_HOME", "home/.config", 0755);
    use("XDG_DATA_HOME", "home/.local/share", 0755);
    use("XDG_CACHE_HOME", "home/.cache", 0755);
    use("XDG_RUNTIME_DIR", "runtime", 0700);  // Qt refuses a runtime folder others can read
    use("TMPDIR", "tmp", 0755);               // temporary files go with the profile
  }
  ~IsolatedProfile() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  IsolatedProfile(const IsolatedProfile&) = delete;
  IsolatedProfile& operator=(const IsolatedProfile&) = delete;

  const std::string& root() const { return root_; }

 private:
  void use(const char* variable, const char* sub, mode_t mode) {
    const std::filesystem::path path = std::filesystem::path(root_) / sub;
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error || ::chmod(path.c_str(), mode) != 0) {
      std::fprintf(stderr, "cannot make %s\n", path.c_str());
      std::abort();
    }
    ::setenv(variable, path.c_str(), 1);
  }

  std::string root_;
};
