// A fresh device root, registry and virtual clock for each shell test.
#pragma once

#include <gtest/gtest.h>

#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/windows.h"

class ShellFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::UseVirtualClock();
        plat::SetDeviceRoot(root.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
    }
    void TearDown() override
    {
        plat::CloseRegistry();
        plat::UseRealClock();
    }

    lumtest::TempDir root;
};
