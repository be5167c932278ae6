// A temporary directory of the running test's own, for tests that write AIEval.txt or AIConfig.txt
// or need a directory without them (ctest runs tests as parallel processes). Empty at the start,
// removed with all it holds at the end of the test.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
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

#include "search/engine.h"

namespace kesta_test {

class TempDir {
 public:
  // The name holds the test's name and the tag; two directories of one process never share one.
  explicit TempDir(const std::string& tag = "") {
    static std::atomic<int> made{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info != nullptr ? std::string(info->test_suite_name()) + "." + info->name() : "none";
    name += tag;
    for (char& ch : name)
      if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
#ifdef _WIN32
    const int pid = _getpid();
#else
    const int pid = int(getpid());
#endif
    path_ = std::filesystem::temp_directory_path() /
            ("kesta-" + name + "-" + std::to_string(pid) + "-" + std::to_string(made++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
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
  // Writes the text byte for byte as AIEval.txt or AIConfig.txt, replacing the file.
  void writeEvalFile(const std::string& text) const {
    std::ofstream(evalFile(), std::ios::binary) << text;
  }
  void writeConfigFile(const std::string& text) const {
    std::ofstream(path_ / "AIConfig.txt", std::ios::binary) << text;
  }

 private:
  std::filesystem::path path_;
};

// A TempDir that ExeDirectory names from its construction on: an Engine made then reads its text
// files there, and without any the built-in weights and search parameters are in force.
class TempExeDir : public TempDir {
 public:
  explicit TempExeDir(const std::string& tag = "") : TempDir(tag) { kesta::ExeDirectory = prefix(); }
};

}  // namespace kesta_test
