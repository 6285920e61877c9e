#include "core/LwError.h"

#include <gtest/gtest.h>

TEST(LwError, AddFunctionAppendsContextsInOrder)
{
    LwError e("m");
    e.AddFunction("A");
    e.AddFunction("B");
    EXPECT_EQ(e.Message(), "m/A/B");

    LwError empty("x");
    empty.AddFunction("");
    EXPECT_EQ(empty.Message(), "x/");
}

TEST(LwError, RethrownObjectKeepsItsContext)
{
    try {
        try {
            throw LwError("Cluster is empity");
        } catch (LwError& e) {
            e.AddFunction("CLUSER:3");
            throw;
        }
    } catch (const LwError& e) {
        EXPECT_EQ(e.Message(), "Cluster is empity/CLUSER:3");
    }
}
