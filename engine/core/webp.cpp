// PLACEHOLDER (branch engine-base only): replaced by the recogniser before this reaches main.
#include "recognizers.h"

namespace qv {

Recognition recognizeWebp(View&, uint64_t) { return {}; }

}  // namespace qv
