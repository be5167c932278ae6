#include "tools/lib/match_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kesta::tool {

namespace {

// The 95% two-sided quantile of the normal distribution.
constexpr double Z95 = 1.959963984540054;

struct Moments {
  double mean = 0.5;
  double variance = 0;
  double pairs = 0;
};

// One pseudo-pair, spread evenly over the five results, keeps the variance of a short match from
// vanishing: without it two drawn pairs would look like proof that the engines are equal.
constexpr double PriorPairsPerClass = 0.2;

// Mean and variance of the per-game score of a pair (0, 1/4, ..., 1), each class's count raised by
// prior pairs.
Moments pairMoments(const MatchScore& s, double prior) {
  Moments m;
  double count[5];
  for (int i = 0; i < 5; ++i) {
    count[i] = double(s.pairs[i]) + prior;
    m.pairs += count[i];
  }
  if (m.pairs <= 0) return m;
  m.mean = 0;
  for (int i = 0; i < 5; ++i) m.mean += count[i] * (i / 4.0);
  m.mean /= m.pairs;
  for (int i = 0; i < 5; ++i) m.variance += count[i] * (i / 4.0 - m.mean) * (i / 4.0 - m.mean);
  m.variance /= m.pairs;
  return m;
}

}  // namespace

void MatchScore::addPair(double first, double second) {
  addGame(first);
  addGame(second);
  pairs[std::clamp(int(std::lround((first + second) * 2)), 0, 4)] += 1;
}

void MatchScore::addGame(double score) {
  if (score > 0.75)
    ++wins;
  else if (score > 0.25)
    ++draws;
  else
    ++losses;
}

double scoreOfElo(double elo) { return 1.0 / (1.0 + std::pow(10.0, -elo / 400.0)); }
double eloOfScore(double score) { return -400.0 * std::log10(1.0 / score - 1.0); }

EloEstimate estimateElo(const MatchScore& score) {
  EloEstimate e;
  const int64_t n = score.pairCount();
  if (n == 0) return e;
  const double mean = pairMoments(score, 0).mean;
  const double variance = pairMoments(score, PriorPairsPerClass).variance;
  const double margin = 1.0 / (4.0 * double(n));
  auto elo = [&](double s) { return eloOfScore(std::clamp(s, margin, 1.0 - margin)); };
  const double spread = Z95 * std::sqrt(variance / double(n));
  e.elo = elo(mean);
  e.halfWidth = (elo(mean + spread) - elo(mean - spread)) / 2.0;
  return e;
}

double sprtLlr(const MatchScore& score, double elo0, double elo1) {
  if (score.pairCount() == 0) return 0;
  const Moments m = pairMoments(score, PriorPairsPerClass);
  const double s0 = scoreOfElo(elo0), s1 = scoreOfElo(elo1);
  return m.pairs * (s1 - s0) * (2.0 * m.mean - s0 - s1) / (2.0 * m.variance);
}

SprtDecision sprtDecision(double llr) {
  const double bound = std::log(0.95 / 0.05);
  if (llr >= bound) return SprtDecision::H1;
  if (llr <= -bound) return SprtDecision::H0;
  return SprtDecision::None;
}

const char* decisionName(SprtDecision d) {
  return d == SprtDecision::H1 ? "H1" : d == SprtDecision::H0 ? "H0" : "none";
}

std::string summaryLine(const MatchScore& score, double elo0, double elo1) {
  const EloEstimate e = estimateElo(score);
  const double llr = sprtLlr(score, elo0, elo1);
  // No "-0.0": values that print as zero print without a sign.
  auto tidy = [](double v, double unit) { return std::fabs(v) < unit / 2 ? 0.0 : v; };
  char line[256];
  std::snprintf(line, sizeof line, "elo %.1f +- %.1f games %lld wdl %lld-%lld-%lld llr %.2f decision %s",
                tidy(e.elo, 0.1), tidy(e.halfWidth, 0.1), static_cast<long long>(score.games()), static_cast<long long>(score.wins),
                static_cast<long long>(score.draws), static_cast<long long>(score.losses), tidy(llr, 0.01),
                decisionName(sprtDecision(llr)));
  return line;
}

}  // namespace kesta::tool
