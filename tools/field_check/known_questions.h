// The questions the check may answer Yes, read from the catalogue that the
// program checked carries, in each of its languages.
#pragma once

#include <string>
#include <vector>

#include "field_verdict.h"

// The known questions of `program`; empty, with `failure` saying why, when
// its catalogue cannot be read.
std::vector<KnownQuestion> KnownQuestions(const std::string& program, std::string* failure);
