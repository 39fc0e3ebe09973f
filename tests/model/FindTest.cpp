#include "model/QelDocFind.h"

#include <gtest/gtest.h>
