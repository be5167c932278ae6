#include "protocol/match_settings.h"

namespace kesta {

uint8_t RuleMode = RenjuRule;

}  // namespace kesta
