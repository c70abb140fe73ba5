#pragma once

#include <cstdint>

namespace NQELZARN20 {

// What the host and the analysis plug-in agree on: the class whose
// evaluation runs the analysis, and the levels of the lines it writes to the
// core logger.
const char kHeavyHittersAnalysisClass[] = "QELSG_TVXHeavyHittersAnalysis";

const std::int32_t kLevelFinding = 100;
const std::int32_t kLevelAdvice = 101;  // the long form of an advice
const std::int32_t kLevelDiagnostic = 3;
const std::int32_t kLevelError = 0;

}  // namespace NQELZARN20
