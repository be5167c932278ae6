// A scratch directory of the running test's own, for tests that write AIEval.txt or need a
// directory without it (ctest runs tests as parallel processes).
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace kesta_test {

// Removed at the end of the test.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& tag = "") {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name() + tag;
    for (char& ch : name)
      if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
#ifdef _WIN32
    const int pid = _getpid();
#else
    const int pid = int(getpid());
#endif
    path_ = std::filesystem::temp_directory_path() / ("kesta-" + name + "-" + std::to_string(pid));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const {
    return path_;
  }
  // The directory with a trailing separator, as ExeDirectory holds it.
  std::string prefix() const {
    return (path_ / "").string();
  }
  std::string evalFile() const {
    return (path_ / "AIEval.txt").string();
  }
  void writeEvalFile(const std::string& text) const {
    std::ofstream(evalFile(), std::ios::binary) << text;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace kesta_test
