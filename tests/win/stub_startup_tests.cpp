// Placeholder until the startup cases land.
#include <gtest/gtest.h>
