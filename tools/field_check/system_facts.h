// What the report says about this PC: Windows' version and build, and the
// display scale.
#pragma once

#include "field_report.h"

std::vector<Fact> WindowsFacts();
