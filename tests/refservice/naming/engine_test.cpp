#include <gtest/gtest.h>
TEST(X2,Y){}
