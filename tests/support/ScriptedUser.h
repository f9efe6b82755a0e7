// A Responder that fails the running test on any prompt it was not told to expect,
// and on scripted answers left unused.
#pragma once

#include "platform/core/Responder.h"

#include <gtest/gtest.h>

class ScriptedUser : public Responder {
public:
    ~ScriptedUser()
    {
        for (const std::string& u : Unexpected())
            ADD_FAILURE() << "unexpected prompt: " << u;
        EXPECT_EQ(Pending(), 0u) << "scripted answers left unused";
    }
};
