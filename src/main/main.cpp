// Layer 8 of 8 (tools/check-layers.sh): main/ may include from every folder.
// pbrain-kesta: the brain process. Finds its own directory, then speaks the protocol on
// standard input and output until END or the end of input.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "protocol/command_loop.h"
#include "search/engine.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
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
  // Standard input is read by the loop's reader thread. Its buffer is given here, so that the C
  // library does not allocate one in that thread, which would cost the process a whole new
  // memory arena of address space.
  static char inputBuffer[4096];
  std::setvbuf(stdin, inputBuffer, _IOFBF, sizeof inputBuffer);
#if defined(_WIN32)
  // Reply lines end in LF alone, as managers on every system expect; text mode would add a CR.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  kesta::ExeDirectory = executableDirectory();
  auto* loop = new kesta::CommandLoop(std::cin, std::cout);
  const int status = loop->run();
  // The reader thread may still wait inside the C library's read of standard input, holding the
  // stream's lock, and no portable call can interrupt it. An ordinary exit would flush and close
  // that stream (and on Windows wait for its lock forever), so the process ends here, with its
  // output flushed; the loop is never destroyed.
  std::cout.flush();
  std::fflush(stdout);
  std::_Exit(status);
}
