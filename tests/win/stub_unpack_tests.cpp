// Placeholder until the unpack cases land.
#include <gtest/gtest.h>
