// The assessment's figures re-computed by the tests' own reference code
// (accuracy_test.cpp) and compared to 1e-9 relative.
#ifndef ZOT_TESTS_ASSESS_REFERENCE_H
#define ZOT_TESTS_ASSESS_REFERENCE_H

#include <string>

#include "assess.h"

void ExpectAgreesWithReference(const zassess::ResidualSet &set, const std::string &what);

#endif
