// Layer 6 of 8 (tools/check-layers.sh): diag/ includes only the layers below it.
// Evaluation dump: a text picture of the position and of every cell's candidate mark, move score
// and classes. Written to the diagnostic stream (standard output unless redirected), each line
// starting with the given prefix.
#pragma once

#include <ostream>
#include <string>

#include "board/position.h"

namespace kesta {

enum class DumpColour { None, Ansi, Console };

// Writes the dump to out; colour codes only as asked.
void writeEvaluationDump(const Position& e, const std::string& prefix, std::ostream& out, DumpColour colour);

// Writes the dump to the diagnostic stream, coloured only when that stream is standard output on
// a terminal or console (never on a pipe: it is the protocol channel).
void printEvaluationDump(const Position& e, const std::string& prefix);

// The dump as a protocol MESSAGE (prefix "MESSAGE "), the form the threat search's
// missing-five-cell hook takes.
void printMessageDump(const Position& e);

// Redirects the diagnostic stream (the command loop points it at its own output); nullptr
// restores standard output.
void setDiagnosticStream(std::ostream* out);

}  // namespace kesta
