#include "tools/lib/tuner.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "board/line_state.h"
#include "rules/patterns.h"
#include "rules/rule_tables.h"

namespace kesta::tool {

void evalWeightsOf(const EvalParameters& p, double w[TuneWeightCount]) {
  for (int i = 0; i < 16; ++i) w[i] = p.EvalSingle[i];
  for (int i = 0; i < 136; ++i) w[16 + i] = p.EvalPair[i];
}

void setEvalWeights(EvalParameters& p, const double w[TuneWeightCount]) {
  auto rounded = [](double v) { return int16_t(std::clamp(std::lround(v), -32768L, 32767L)); };
  for (int i = 0; i < 16; ++i) p.EvalSingle[i] = rounded(w[i]);
  for (int i = 0; i < 136; ++i) p.EvalPair[i] = rounded(w[16 + i]);
}

void addFeatureCounts(const Position& p, int side, int sign, int32_t counts[TuneWeightCount],
                      int32_t& forbidden) {
  const Board& b = *p.board;
  const Rule rule = ruleOf(p);
  for (int t = b.firstCell; t <= b.lastCell; ++t) {
    if (b.cells[t] != Empty) continue;
    const CellInfo& c = p.cellInfo[t];
    // Both sides see the same lines through a cell without stones near it; those cancel.
    if (std::memcmp(c.lineCode[0], c.lineCode[1], 4) == 0 && c.cellClass[0] > ClassBlackLongLine) continue;
    for (int s = 0; s < 2; ++s) {
      const int sg = s == side ? sign : -sign;
      if (s == Black && c.cellClass[0] <= ClassBlackLongLine) {
        forbidden += sg;
        continue;
      }
      int k[4];
      for (int d = 0; d < 4; ++d) k[d] = scoringClassOf(c.lineCode[s][d], rule) - 2;
      std::sort(k, k + 4);
      for (int d = 0; d < 4; ++d) counts[k[d]] += sg;
      for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j) counts[16 + pairIndex(k[i], k[j])] += sg;
    }
  }
}

void extractGame(const GameData& game, bool heldOut, uint8_t skipFlags, TuneSet& set) {
  Board board(game.size);
  auto pos = std::make_unique<Position>();
  pos->board = &board;
  // The counts depend on the classes alone, which the weights do not change.
  pos->tables = defaultPatternTables(Rule(game.rule)).get();
  resetGame(*pos);
  int played = 0;
  auto playTo = [&](int ply) {
    for (; played < ply; ++played) {
      const int m = game.moves[size_t(played)];
      makeMove(*pos, cellOf(m % game.size, m / game.size));
    }
  };
  for (const Sample& s : game.samples) {
    if (s.flags & skipFlags) continue;
    if (s.ply < played + 1) continue;  // samples come in ply order; a repeat is ignored
    const int side = s.ply % 2 == 0 ? Black : White;
    int32_t counts[TuneWeightCount] = {};
    int32_t forbidden = 0;
    playTo(s.ply - 1);
    addFeatureCounts(*pos, side, 1, counts, forbidden);
    playTo(s.ply);
    addFeatureCounts(*pos, side, 1, counts, forbidden);
    TunePosition tp;
    tp.first = uint32_t(set.entries.size());
    for (int i = 0; i < TuneWeightCount; ++i)
      if (counts[i] != 0) set.entries.push_back({uint8_t(i), int16_t(std::clamp(counts[i], -32768, 32767))});
    tp.size = uint16_t(set.entries.size() - tp.first);
    tp.forbidden = int16_t(forbidden);
    tp.colour = side == Black ? 1 : -1;
    tp.result = game.result == Drawn ? 0.5f : (game.result == BlackWon) == (side == Black) ? 1.0f : 0.0f;
    tp.score = s.score;
    tp.flags = s.flags;
    tp.heldOut = heldOut;
    set.positions.push_back(tp);
  }
}

double tunedValue(const TuneSet& set, const TunePosition& pos, const double w[TuneParamCount],
                  double forbiddenEval) {
  double sum = forbiddenEval * pos.forbidden;
  const FeatureEntry* e = set.entries.data() + pos.first;
  for (int i = 0; i < pos.size; ++i) sum += w[e[i].index] * e[i].count;
  return 0.5 * sum + w[TempoParam] + w[ColourParam] * pos.colour;
}

namespace {

double sigmoid(double x) {
  return 1.0 / (1.0 + std::exp(-x));
}

double targetOf(const TunePosition& pos, const LossSetup& setup) {
  if (setup.blend <= 0 || pos.score == NoSearchScore) return pos.result;
  return (1 - setup.blend) * pos.result + setup.blend * sigmoid(setup.scale * pos.score);
}

}  // namespace

double lossAndGradient(const TuneSet& set, const double w[TuneParamCount], const LossSetup& setup,
                       bool heldOut, double* gradient) {
  double total = 0;
  int64_t n = 0;
  double grad[TuneParamCount] = {};
  for (const TunePosition& pos : set.positions) {
    if (pos.heldOut != heldOut) continue;
    const double z = setup.scale * tunedValue(set, pos, w, setup.forbiddenEval);
    const double y = targetOf(pos, setup);
    // -y log p - (1 - y) log(1 - p) with p = sigmoid(z), written to stay finite for large |z|.
    total += std::max(z, 0.0) - z * y + std::log1p(std::exp(-std::abs(z)));
    ++n;
    if (gradient != nullptr) {
      // d loss / d w_i = (p - y) * K * (count_i / 2)
      const double d = (sigmoid(z) - y) * setup.scale * 0.5;
      const FeatureEntry* e = set.entries.data() + pos.first;
      for (int i = 0; i < pos.size; ++i) grad[e[i].index] += d * e[i].count;
      grad[TempoParam] += 2 * d;
      grad[ColourParam] += 2 * d * pos.colour;
    }
  }
  if (n == 0) return 0;
  if (gradient != nullptr)
    for (int i = 0; i < TuneParamCount; ++i) gradient[i] += grad[i] / double(n);
  return total / double(n);
}

double fitScale(const TuneSet& set, const double w[TuneParamCount], const LossSetup& setup) {
  // The loss is convex in K: golden-section search over log K.
  auto loss = [&](double logK) {
    LossSetup s = setup;
    s.scale = std::exp(logK);
    return lossAndGradient(set, w, s, false, nullptr);
  };
  double lo = std::log(1e-6), hi = std::log(1.0);
  const double g = (std::sqrt(5.0) - 1) / 2;
  double a = hi - g * (hi - lo), b = lo + g * (hi - lo);
  double fa = loss(a), fb = loss(b);
  for (int i = 0; i < 60; ++i) {
    if (fa < fb) {
      hi = b;
      b = a;
      fb = fa;
      a = hi - g * (hi - lo);
      fa = loss(a);
    } else {
      lo = a;
      a = b;
      fa = fb;
      b = lo + g * (hi - lo);
      fb = loss(b);
    }
  }
  return std::exp((lo + hi) / 2);
}

void tune(const TuneSet& set, double w[TuneParamCount], const LossSetup& setup, const TuneConfig& cfg,
          void (*report)(int epoch, double train, double heldOut)) {
  double start[TuneParamCount], m[TuneParamCount] = {}, v[TuneParamCount] = {};
  std::copy(w, w + TuneParamCount, start);
  const double beta1 = 0.9, beta2 = 0.999, epsilon = 1e-12;
  for (int epoch = 1; epoch <= cfg.epochs; ++epoch) {
    double gradient[TuneParamCount] = {};
    const double train = lossAndGradient(set, w, setup, false, gradient);
    const double rate = cfg.rate * std::pow(0.1, double(epoch - 1) / std::max(1, cfg.epochs - 1));
    for (int i = 0; i < TuneParamCount; ++i) {
      if (!cfg.free[i]) continue;
      const double pull = i < TuneWeightCount ? 2 * cfg.regularisation * (w[i] - start[i]) : 0;
      const double g = gradient[i] + pull;
      m[i] = beta1 * m[i] + (1 - beta1) * g;
      v[i] = beta2 * v[i] + (1 - beta2) * g * g;
      const double mHat = m[i] / (1 - std::pow(beta1, epoch)), vHat = v[i] / (1 - std::pow(beta2, epoch));
      w[i] = std::clamp(w[i] - rate * mHat / (std::sqrt(vHat) + epsilon), -32768.0, 32767.0);
    }
    if (report != nullptr) report(epoch, train, lossAndGradient(set, w, setup, true, nullptr));
  }
}

void roundWeights(const TuneSet& set, double w[TuneParamCount], const double start[TuneParamCount],
                  const LossSetup& setup, const TuneConfig& cfg) {
  for (int i = 0; i < TuneWeightCount; ++i) w[i] = std::round(w[i]);
  auto objective = [&]() {
    double penalty = 0;
    for (int i = 0; i < TuneWeightCount; ++i)
      if (cfg.free[i]) penalty += (w[i] - start[i]) * (w[i] - start[i]);
    return lossAndGradient(set, w, setup, false, nullptr) + cfg.regularisation * penalty;
  };
  double best = objective();
  for (int pass = 0; pass < 4; ++pass) {
    bool moved = false;
    for (int i = 0; i < TuneWeightCount; ++i) {
      if (!cfg.free[i]) continue;
      for (double step : {1.0, -1.0}) {
        for (;;) {
          w[i] += step;
          const double f = objective();
          if (f < best - 1e-12 && std::abs(w[i]) <= 32767) {
            best = f;
            moved = true;
          } else {
            w[i] -= step;
            break;
          }
        }
      }
    }
    if (!moved) break;
  }
}

void markFreeWeights(const std::vector<int>& fixedClasses, bool singles, bool pairs,
                     bool free[TuneWeightCount]) {
  auto fixed = [&](int c) {
    return std::find(fixedClasses.begin(), fixedClasses.end(), c) != fixedClasses.end();
  };
  for (int a = 0; a < 16; ++a) {
    free[a] = singles && !fixed(a);
    for (int b = a; b < 16; ++b) free[16 + pairIndex(a, b)] = pairs && !fixed(a) && !fixed(b);
  }
}

int largestComboMagnitude(const EvalParameters& p) {
  int largest = 0;
  for (int a = 0; a < 16; ++a)
    for (int b = a; b < 16; ++b)
      for (int c = b; c < 16; ++c)
        for (int d = c; d < 16; ++d) {
          int s = p.EvalSingle[a] + p.EvalSingle[b] + p.EvalSingle[c] + p.EvalSingle[d];
          s += p.EvalPair[pairIndex(a, b)] + p.EvalPair[pairIndex(a, c)] + p.EvalPair[pairIndex(a, d)];
          s += p.EvalPair[pairIndex(b, c)] + p.EvalPair[pairIndex(b, d)] + p.EvalPair[pairIndex(c, d)];
          largest = std::max(largest, std::abs(s));
        }
  return largest;
}

}  // namespace kesta::tool
