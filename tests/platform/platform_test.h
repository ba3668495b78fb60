// SPDX-License-Identifier: Apache-2.0
// What most platform tests use: the library, its test hooks, temporary homes and GoogleTest.
#pragma once

#include "rdplat.h"
#include "alloc_failure.h"
#include "rdplat_test.h"
#include "temp_home.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using rdtest::FileExists;
using rdtest::ReadFile;
using rdtest::WriteFile;
