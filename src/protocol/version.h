// The version of this build, which ABOUT and `kesta-tool --version` report. The definition is
// written by the build (cmake/write-version.cmake).
#pragma once

namespace kesta {

// The project version, then "+<commit>" when built from a git checkout, and ".dirty" when that
// checkout had uncommitted changes to tracked files: "1.0.0+0cfe150".
extern const char* const Version;

}  // namespace kesta
