// The ordering rules written out literally, as nested scans over the record
// arrays: the yardstick that the indexed ordering is compared with.
#pragma once

#include "model/DisplayList.h"

namespace testing_support {

void ReferenceBuildDisplayList(model::ModelState& s, const model::OrderingInputs& inputs);

} // namespace testing_support
