// Placeholder until the run cases land.
#include <gtest/gtest.h>
