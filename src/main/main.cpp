// Layer 7 of 7 (tools/check-layers.sh): main/ may include from every folder.
// pbrain-kesta: the brain process. Finds its own directory, then speaks the protocol on
// standard input and output until END or the end of input.
#include <iostream>
#include <string>

#include "protocol/command_loop.h"
#include "search/engine.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// The running executable's directory with a trailing separator; the text files live there.
std::string executableDirectory() {
#if defined(_WIN32)
  const char separator = '\\';
  char path[261] = {};
  GetModuleFileNameA(nullptr, path, 260);
#else
  const char separator = '/';
  char path[4097] = {};
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n > 0) path[n] = '\0';
#endif
  std::string full(path);
  const size_t cut = full.find_last_of(separator);
  if (cut == std::string::npos) return full + separator;
  return full.substr(0, cut + 1);
}

}  // namespace

int main() {
  kesta::ExeDirectory = executableDirectory();
  kesta::CommandLoop loop(std::cin, std::cout);
  return loop.run();
}
