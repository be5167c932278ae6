#include "core/types.h"

namespace kesta {

uint8_t RuleMode = RenjuRule;

}  // namespace kesta
