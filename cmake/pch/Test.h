// The common headers and GoogleTest, for test programs.
#pragma once

#include "Common.h"

#include <gtest/gtest.h>
