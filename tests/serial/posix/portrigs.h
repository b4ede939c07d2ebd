#pragma once

// The back ends that build on this platform, each with a rig that gives it a peer device.

#include "ptyrig.h"

#include <gtest/gtest.h>

using PortRigs = ::testing::Types<PtyRig>;
