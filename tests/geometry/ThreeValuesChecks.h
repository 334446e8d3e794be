#pragma once

#include <gtest/gtest.h>

namespace ktrt_test {

/// KTVector3 and KTAngle hold three numbers and a spare slot that every index
/// past two reaches; the spare is never copied, assigned or compared, and
/// equality is exact.
template <class Value> void expectSpareSlotIsNeverCopiedOrCompared() {
    Value value(1, 2, 3);
    value[3] = 42.0;
    EXPECT_EQ(value[1000], 42.0);
    EXPECT_EQ(value[2], 3.0);
    EXPECT_TRUE(value == Value(1, 2, 3));
    EXPECT_EQ(Value(value)[3], 0.0);
    Value target;
    target[3] = 7.0;
    target = value;
    EXPECT_EQ(target[3], 7.0);
    EXPECT_EQ(target[2], 3.0);
    EXPECT_FALSE(Value(1, 2, 3) == Value(1, 2, 3.0000000001));
    EXPECT_FALSE(Value(1, 2, 3) == Value(1, 2.5, 3));
    EXPECT_FALSE(Value(0, 0, 360) == Value(0, 0, 0));
    const Value& base = Value(0, -0.0, 0); // virtual comparison
    EXPECT_TRUE(base == Value());
}

} // namespace ktrt_test
