#include "search/engine.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <sstream>

#include "board/line_state.h"
#include "core/number_scan.h"
#include "eval/eval_tables.h"
#include "rules/rule_tables.h"
#include "search/threads.h"

namespace kesta {

std::string ExeDirectory;

SharedState::SharedState() = default;
// The helper threads are joined before anything they read goes.
SharedState::~SharedState() {
  Helpers.reset();
}

Worker::Worker(SharedState& s) : shared(s) {
  // The undo records are written by every move; touching them now keeps that cost out of the
  // first position a manager sends.
  std::memset(static_cast<void*>(stoneUndo), 0, sizeof stoneUndo);
  std::memset(static_cast<void*>(cellUndo), 0, sizeof cellUndo);
  for (MovePicker& picker : PlyLists) picker.moves.reserve(PickerCapacity);
  savedRoot.moves.reserve(PickerCapacity);
  fourCells.reserve(BoardCells);
}

Engine::Engine(Board& b, Rule rule, uint32_t tableBuckets)
    : Worker(static_cast<SharedState&>(*this)),
      NeighbourRandom(static_cast<uint64_t>(std::time(nullptr))),
      BookRandom(static_cast<uint64_t>(std::time(nullptr))) {
  // 1. Directory and board; 2. tables for the rule in force; 3. an empty game.
  ExeDirectory = kesta::ExeDirectory;
  board = &b;
  EvalFileRead = useRule(*this, rule);
  resetGame(*this);
  // 4-5. Search parameters and match settings.
  setDefaultSearchParameters(*this);
  Settings = MatchSettings{};
  // 6. The configuration file; 7. the table, last.
  ConfigFileRead = loadConfig(*this);
  TransTable = std::make_unique<TranspositionTable>(tableBuckets);
  ProofCache = std::make_unique<ProofEntry[]>(ProofCacheEntries);
}

FileRead useRule(Engine& e, Rule rule) {
  const FileRead read = loadEvalFile(e.ExeDirectory + "AIEval.txt", e.EvalParams);
  e.Tables = patternTables(rule, e.EvalParams);
  e.tables = e.Tables.get();
  return read;
}

void useEvalParameters(Engine& e, const EvalParameters& p) {
  e.EvalParams = p;
  e.Tables = patternTables(ruleOf(e), p);
  e.tables = e.Tables.get();
}

void resizeTable(SharedState& e, uint32_t buckets) {
  // The old table goes first, so that the two never need memory at the same time.
  e.TransTable.reset();
  e.TransTable = std::make_unique<TranspositionTable>(buckets);
}

void setDefaultSearchParameters(SharedState& e) {
  e.ExtensionCoefficient = 1.0f / std::log(20.0f);
  e.IIDMinDepth = 8;
  e.FutilityPurningMarginCount = 4;
  const int32_t futility[4] = {80, 130, 170, 200};
  const int32_t razoring[4] = {150, 250, 300, 300};
  std::memcpy(e.FutilityPurningMargin, futility, sizeof futility);
  e.RazoringMarginCount = 4;
  std::memcpy(e.RazoringMargin, razoring, sizeof razoring);
  e.ThreatSearchPlies = 10;
  e.UseOpeningBook = 1;
  e.ReloadConfigOnEachMove = 0;
  e.TimeReserve = DefaultTimeReserve;
  e.SearchInfo = 1;
  e.MaxDepth = DeepestIteration;
  const int32_t shares[4] = {5, 30, 10, 20};
  std::memcpy(e.ProofShares, shares, sizeof shares);
  e.ProofEveryMove = 0;
  e.ProofMinTime = DefaultProofMinTime;
  e.LargePages = 1;
  e.MovesToGoPlies = DefaultMovesToGoPlies;
  e.MinMovesToGo = DefaultMinMovesToGo;
}

namespace {

// Matches the literal key at the start of line, then reads up to maxValues numbers as "%d" does.
// Returns the number converted, or -1 when the line ends before the first conversion.
int scanKey(const std::string& line, const char* key, int32_t* values, int maxValues) {
  const size_t keyLength = std::strlen(key);
  for (size_t i = 0; i < keyLength; ++i) {
    if (i >= line.size()) return -1;
    if (line[i] != key[i]) return 0;
  }
  const char* cursor = line.c_str() + keyLength;
  int converted = 0;
  for (; converted < maxValues; ++converted) {
    long long v = 0;
    if (!scanDecimal(cursor, v)) {
      if (converted == 0 && *cursor == '\0') return -1;
      break;
    }
    values[converted] = truncateToInt32(v);
  }
  return converted;
}

bool startsWith(const std::string& line, const char* prefix) {
  return line.compare(0, std::strlen(prefix), prefix) == 0;
}

// Reads one line; only its first 999 characters count as the line.
bool readConfigLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (line.size() > 999) line.resize(999);
  return true;
}

}  // namespace

FileRead loadConfig(SharedState& e) {
  std::string text;
  const FileRead result = readTextFile(e.ExeDirectory + "AIConfig.txt", text);
  if (result != FileRead::Read) return result;
  std::istringstream file(text);
  std::string line;
  int32_t override = 0;
  if (!readConfigLine(file, line) || scanKey(line, "Override:", &override, 1) != 1) return FileRead::Failed;
  if (override != 1) return FileRead::Read;
  while (readConfigLine(file, line)) {
    int32_t v[4];
    if (startsWith(line, "ExtensionCoefficient:")) {
      if (scanKey(line, "ExtensionCoefficient:", v, 1) == 1)
        e.ExtensionCoefficient = v[0] > 1 ? 1.0f / std::log(float(v[0])) : 1000000.0f;
    } else if (startsWith(line, "UseOpeningBook:")) {
      if (scanKey(line, "UseOpeningBook:", v, 1) == 1) e.UseOpeningBook = v[0] == 1;
    } else if (startsWith(line, "FutilityPurningMargin:")) {
      v[0] = e.FutilityPurningMargin[0], v[1] = e.FutilityPurningMargin[1];
      v[2] = e.FutilityPurningMargin[2], v[3] = e.FutilityPurningMargin[3];
      const int n = scanKey(line, "FutilityPurningMargin:", v, 4);
      std::memcpy(e.FutilityPurningMargin, v, sizeof v);
      e.FutilityPurningMarginCount = n > 4 ? 4 : n;
    } else if (startsWith(line, "RazoringMargin:")) {
      v[0] = e.RazoringMargin[0], v[1] = e.RazoringMargin[1];
      v[2] = e.RazoringMargin[2], v[3] = e.RazoringMargin[3];
      const int n = scanKey(line, "RazoringMargin:", v, 4);
      std::memcpy(e.RazoringMargin, v, sizeof v);
      e.RazoringMarginCount = n > 4 ? 4 : n;
    } else if (startsWith(line, "ThreatProofShares:")) {
      std::memcpy(v, e.ProofShares, sizeof v);
      if (scanKey(line, "ThreatProofShares:", v, 4) >= 1)
        for (int i = 0; i < 4; ++i) e.ProofShares[i] = v[i] < 0 ? 0 : v[i] > 500 ? 500 : v[i];
    } else if (startsWith(line, "ThreatProofEveryMove:")) {
      if (scanKey(line, "ThreatProofEveryMove:", v, 1) == 1) e.ProofEveryMove = v[0] == 1;
    } else if (startsWith(line, "ThreatProofMinTime:")) {
      if (scanKey(line, "ThreatProofMinTime:", v, 1) == 1 && v[0] >= 0) e.ProofMinTime = v[0];
    } else if (startsWith(line, "IIDMinDepth:")) {
      if (scanKey(line, "IIDMinDepth:", v, 1) == 1) e.IIDMinDepth = v[0];
    } else if (startsWith(line, "ReloadConfigOnEachMove:")) {
      if (scanKey(line, "ReloadConfigOnEachMove:", v, 1) == 1) e.ReloadConfigOnEachMove = v[0] == 1;
    } else if (startsWith(line, "TimeReserve:")) {
      if (scanKey(line, "TimeReserve:", v, 1) == 1 && v[0] >= 0 && v[0] <= MaxTimeReserve)
        e.TimeReserve = v[0];
    } else if (startsWith(line, "SearchInfo:")) {
      if (scanKey(line, "SearchInfo:", v, 1) == 1) e.SearchInfo = v[0] != 0;
    } else if (startsWith(line, "LargePages:")) {
      if (scanKey(line, "LargePages:", v, 1) == 1) e.LargePages = v[0] != 0;
    } else if (startsWith(line, "MovesToGo:")) {
      v[0] = e.MovesToGoPlies;
      v[1] = e.MinMovesToGo;
      if (scanKey(line, "MovesToGo:", v, 2) >= 1 && v[0] >= 0 && v[0] <= MaxMovesToGo && v[1] >= 1 &&
          v[1] <= MaxMovesToGo) {
        e.MovesToGoPlies = v[0];
        e.MinMovesToGo = v[1];
      }
    }
  }
  return FileRead::Read;
}

}  // namespace kesta
