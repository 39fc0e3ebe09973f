#pragma once

// The board generator lives with the gendoc tool; tests and benchmarks share it.
#include "../../tools/gendoc/BoardGenerator.h"
