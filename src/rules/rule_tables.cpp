#include "rules/rule_tables.h"

#include <mutex>

#include "rules/patterns.h"

namespace kesta {

std::shared_ptr<const PatternTables> buildPatternTables(Rule rule, const EvalParameters& p) {
  auto t = std::make_shared<PatternTables>();
  t->rule = rule;
  {
    auto levels = std::make_unique<uint8_t[]>(WindowCount);
    for (int side = 0; side < 2; ++side) {
      computeWindowLevels(side, rule, levels.get());
      for (int w = 0; w < WindowCount; ++w)
        t->lineCodeByWindow[side][w] = uint8_t(lineCodeOfLevel(levels[w]));
    }
  }
  if (isCaro(rule)) {
    t->edgeAware = true;
    t->edgeLineCodes.assign(size_t(EdgeConfigs) * 2 * LineWindowCount, CodeNone);
    auto levels = std::make_unique<uint8_t[]>(WindowCount);
    for (int plus = 0; plus <= 5; ++plus)
      for (int minus = 0; minus <= 5; ++minus)
        for (int side = 0; side < 2; ++side) {
          computeEdgeWindowLevels(side, rule, plus, minus, levels.get());
          uint8_t* codes = t->edgeLineCodes.data() + (size_t(edgeConfigOf(plus, minus)) * 2 + size_t(side)) * LineWindowCount;
          const unsigned walls = edgeWallBits(plus, minus);
          for (int w = 0; w < WindowCount; ++w) {
            bool edgeBlocked = true;
            for (int b = 0, digit = 1; b < 10 && edgeBlocked; ++b, digit *= 3)
              if (walls >> b & 1) edgeBlocked = w / digit % 3 == 2;
            if (edgeBlocked) codes[w] = uint8_t(lineCodeOfLevel(levels[w]));
          }
        }
  }
  for (int side = 0; side < 2; ++side) {
    int key = 0;
    for (int c0 = 0; c0 < LineCodeCount; ++c0)
      for (int c1 = 0; c1 < LineCodeCount; ++c1)
        for (int c2 = 0; c2 < LineCodeCount; ++c2)
          for (int c3 = 0; c3 < LineCodeCount; ++c3, ++key)
            t->cellClass[side][key] = uint8_t(cellClassOf(side, rule, c0, c1, c2, c3));
  }
  int scoringClass[LineCodeCount];
  for (int code = 0; code < LineCodeCount; ++code) scoringClass[code] = scoringClassOf(code, rule);
  fillScoreTables(*t, p, scoringClass);
  return t;
}

const std::shared_ptr<const PatternTables>& defaultPatternTables(Rule rule) {
  // Each rule's tables are built when first asked for, once, whichever thread asks.
  static std::once_flag built[RuleCount];
  static std::shared_ptr<const PatternTables> tables[RuleCount];
  std::call_once(built[rule], [rule] { tables[rule] = buildPatternTables(rule, defaultEvalParameters()); });
  return tables[rule];
}

std::shared_ptr<const PatternTables> patternTables(Rule rule, const EvalParameters& p) {
  if (p == defaultEvalParameters()) return defaultPatternTables(rule);
  return buildPatternTables(rule, p);
}

}  // namespace kesta
