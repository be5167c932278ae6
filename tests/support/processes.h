// The brain and the developer tool as child processes, for the end-to-end tests: a brain over pipes
// with a manager's conveniences, its reply lines read past the MESSAGE lines, a move reply parsed,
// and kesta-tool run for its output. POSIX only.
#pragma once

#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/lib/brain_process.h"

namespace kesta_test {

using kesta::BrainProcess;

inline bool isMessage(const std::string& line) {
  return line.rfind("MESSAGE ", 0) == 0;
}

// The next line that is not a MESSAGE line (search reports and notices come before a reply);
// those are counted into messages when it is given. Nothing when the deadline passes or the
// output ends first.
inline std::optional<std::string> replyLine(BrainProcess& brain,
                                            int timeoutMs = BrainProcess::DefaultTimeoutMs,
                                            int* messages = nullptr) {
  for (;;) {
    auto line = brain.readLine(timeoutMs);
    if (!line || !isMessage(*line)) return line;
    if (messages != nullptr) ++*messages;
  }
}

// The coordinates of a move reply "x,y" (at most three digits each), or nothing when the line is
// not one.
inline std::optional<std::pair<int, int>> parseMove(const std::string& line) {
  const size_t comma = line.find(',');
  if (comma == std::string::npos || comma == 0 || comma > 3 || comma + 1 == line.size() ||
      line.size() - comma > 4)
    return std::nullopt;
  for (size_t i = 0; i < line.size(); ++i)
    if (i != comma && (line[i] < '0' || line[i] > '9')) return std::nullopt;
  return std::make_pair(std::stoi(line.substr(0, comma)), std::stoi(line.substr(comma + 1)));
}

inline void expectCleanExit(BrainProcess& brain) {
  const auto status = brain.waitExit();
  ASSERT_TRUE(status.has_value()) << "the brain did not end";
  EXPECT_TRUE(status->cleanExit()) << status->describe();
}

// A brain process with a manager's conveniences, the real brain unless told otherwise. Every
// reply is awaited with a deadline, so a brain that hangs fails the test instead of blocking it.
class Brain {
 public:
  Brain() : Brain(std::vector<std::string>{KESTA_BRAIN_PATH}) {}
  explicit Brain(const std::vector<std::string>& args) { started_ = process_.spawn(args); }

  bool started() const { return started_; }
  BrainProcess& process() { return process_; }

  // Sends text as it stands (no line end is added).
  void write(const std::string& text) { EXPECT_TRUE(process_.write(text)) << "the brain stopped reading"; }
  void send(const std::string& line) { write(line + "\n"); }

  // The next reply line; MESSAGE lines are skipped, as managers do.
  std::string reply() { return replyLine(process_).value_or("<no reply>"); }

  // Sends a command and returns its one-line reply.
  std::string ask(const std::string& line) {
    send(line);
    return reply();
  }

  void expectCleanExit() { kesta_test::expectCleanExit(process_); }

 private:
  BrainProcess process_;
  bool started_ = false;
};

// Runs kesta-tool with the arguments (already quoted for the shell); returns its standard output,
// and its status as system() gives it when status is given.
inline std::string runTool(const std::string& arguments, int* status = nullptr) {
  const std::string command = std::string("'") + KESTA_TOOL_PATH + "' " + arguments;
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int rc = pclose(pipe);
  if (status != nullptr) *status = rc;
  return output;
}

// True when the tool will read text files of its own (its directory holds them), so its tables
// or parameters may differ from the built-in ones the tests use.
inline bool toolHasOwnTextFiles() {
  const auto dir = std::filesystem::path(KESTA_TOOL_PATH).parent_path();
  return std::filesystem::exists(dir / "AIEval.txt");
}

}  // namespace kesta_test

#endif  // _WIN32
