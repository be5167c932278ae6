// Developer-tool subcommand `tune`: fits the EvalSingle and EvalPair weights to the results of the
// games in training data files (from `gen-data`) and writes them as an AIEval.txt. The scale of the
// logistic is fitted first with the start weights and then held, so the weights keep the engine's
// units; the weights of fours and fives, ForbiddenEval and the ordering weights are kept as given.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "core/number_scan.h"
#include "eval/eval_tables.h"
#include "tools/commands/commands.h"
#include "tools/lib/tool_common.h"
#include "tools/lib/train_data.h"
#include "tools/lib/tuner.h"

namespace kesta::tool {

namespace {

void printEpoch(int epoch, double train, double heldOut) {
  char line[96];
  std::snprintf(line, sizeof line, "epoch %d train %.6f held-out %.6f\n", epoch, train, heldOut);
  std::cout << line << std::flush;
}

bool parseDouble(const Options& opt, const std::string& key, double lo, double hi, double& value) {
  if (!opt.has(key)) return true;
  const std::string text = opt.get(key);
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(v >= lo && v <= hi)) {
    fail("--" + key + " must be a number from " + std::to_string(lo) + " to " + std::to_string(hi));
    return false;
  }
  value = v;
  return true;
}

bool parseClassList(const std::string& text, std::vector<int>& classes) {
  classes.clear();
  std::string item;
  std::istringstream in(text);
  while (std::getline(in, item, ',')) {
    const char* p = item.c_str();
    long long v = 0;
    if (!scanDecimal(p, v) || *p != '\0' || v < 0 || v > 15) return false;
    classes.push_back(int(v));
  }
  return true;
}

}  // namespace

int cmdTune(const Options& opt) {
  int rule = 0;
  if (!parseRule(opt.get("rule"), rule)) return fail("tune: --rule must be freestyle, exact5, renju, caro or caro8");
  const std::vector<std::string> dataPaths = opt.getAll("data");
  if (dataPaths.empty()) return fail("tune: --data FILE is required (it may repeat)");
  if (!opt.has("out")) return fail("tune: --out FILE is required");
  long long epochs = 300, holdout = 10;
  if (!readInt(opt, "epochs", 300, 1, 100000, epochs) || !readInt(opt, "holdout", 10, 1, 50, holdout))
    return 1;
  double rate = 0.5, regularisation = 1e-6, blend = 0, scale = 0;
  if (!parseDouble(opt, "rate", 1e-6, 1000, rate) || !parseDouble(opt, "reg", 0, 1e6, regularisation) ||
      !parseDouble(opt, "blend", 0, 1, blend) || !parseDouble(opt, "scale", 0, 10, scale))
    return 1;
  std::vector<int> fixedClasses{13, 14, 15};
  if (opt.has("fixed") && !parseClassList(opt.get("fixed"), fixedClasses))
    return fail("tune: --fixed takes class numbers 0..15, as \"13,14,15\"");
  const std::string only = opt.get("only");
  if (!only.empty() && only != "singles" && only != "pairs")
    return fail("tune: --only takes singles or pairs");
  const auto started = std::chrono::steady_clock::now();

  // 1. The start weights: a file, or the built-in ones.
  EvalParameters start = defaultEvalParameters();
  if (opt.has("eval") && loadEvalFile(opt.get("eval"), start) != FileRead::Read)
    return fail("tune: cannot open " + opt.get("eval"));

  // 2. The positions and their feature counts; every holdout-th game is held out.
  const uint8_t skipFlags =
      opt.has("quiet") ? uint8_t(OpponentOpenThree | OwnFourCell | OpponentFourCell) : 0;
  TuneSet set;
  int64_t games = 0, otherRule = 0;
  for (const std::string& path : dataPaths) {
    DataFile data;
    std::string error;
    if (!readDataFile(path, data, error)) return fail("tune: " + error);
    if (data.droppedBytes > 0)
      std::cerr << "tune: " << path << ": ignoring " << data.droppedBytes << " bytes of an unfinished game\n";
    for (const GameData& game : data.games) {
      if (game.rule != rule) {
        ++otherRule;
        continue;
      }
      extractGame(game, games % (100 / holdout) == 0, skipFlags, set);
      ++games;
    }
  }
  int64_t heldOut = 0;
  for (const TunePosition& p : set.positions) heldOut += p.heldOut;
  std::cout << "games " << games << " positions " << set.positions.size() - size_t(heldOut) << " held-out "
            << heldOut;
  if (otherRule > 0) std::cout << " (skipped " << otherRule << " games of other rules)";
  std::cout << "\n";
  if (int64_t(set.positions.size()) == heldOut) return fail("tune: no training positions");

  // 3. The scale, then the weights.
  double w[TuneParamCount] = {};
  evalWeightsOf(start, w);
  LossSetup setup;
  setup.forbiddenEval = int16_t(uint16_t(uint32_t(start.ForbiddenEval) & 0xFFFF));
  setup.scale = scale > 0 ? scale : fitScale(set, w, setup);
  setup.blend = blend;
  std::printf("scale %.6g train %.6f held-out %.6f\n", setup.scale,
              lossAndGradient(set, w, setup, false, nullptr), lossAndGradient(set, w, setup, true, nullptr));
  const bool tempo = !opt.has("no-tempo");
  if (tempo) {
    // The side to move's and Black's advantages first, with the start weights, so that the
    // weights' first steps do not chase them.
    TuneConfig terms;
    terms.epochs = 300;
    terms.rate = 5;
    terms.free[TempoParam] = terms.free[ColourParam] = true;
    tune(set, w, setup, terms, nullptr);
    std::printf("tempo %.1f colour %.1f train %.6f held-out %.6f\n", w[TempoParam], w[ColourParam],
                lossAndGradient(set, w, setup, false, nullptr),
                lossAndGradient(set, w, setup, true, nullptr));
  }
  TuneConfig cfg;
  cfg.epochs = int(epochs);
  cfg.rate = rate;
  cfg.regularisation = regularisation;
  markFreeWeights(fixedClasses, only != "pairs", only != "singles", cfg.free);
  cfg.free[TempoParam] = cfg.free[ColourParam] = tempo;
  tune(set, w, setup, cfg, printEpoch);

  // 4. Whole numbers in the engine's range, written with the start file's other parameters.
  double startWeights[TuneParamCount] = {};
  evalWeightsOf(start, startWeights);
  roundWeights(set, w, startWeights, setup, cfg);
  EvalParameters tuned = start;
  setEvalWeights(tuned, w);
  if (largestComboMagnitude(tuned) > 16000) return fail("tune: a combined weight leaves the 16-bit range");
  evalWeightsOf(tuned, w);
  std::printf("whole weights: tempo %.1f colour %.1f train %.6f held-out %.6f\n", w[TempoParam],
              w[ColourParam], lossAndGradient(set, w, setup, false, nullptr),
              lossAndGradient(set, w, setup, true, nullptr));
  std::ofstream out(opt.get("out"), std::ios::binary);
  out << formatEvalFile(tuned);
  if (!out.flush()) return fail("tune: cannot write " + opt.get("out"));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("wrote %s in %.1f s\n", opt.get("out").c_str(), seconds);
  return 0;
}

}  // namespace kesta::tool
