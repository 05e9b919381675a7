// Shared set-up of the data tests: a fresh folder, a fresh runtime, recorded messages.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "data/access.h"
#include "platform/classes/error_manager.h"
#include "platform/runtime/runtime.h"
#include "platform/runtime/testing.h"
#include "tests/support/temp_dir.h"

namespace qbtest {

class DataTest : public ::testing::Test {
 protected:
  void SetUp() override { pf::testing::resetRuntime(); }
  void TearDown() override { pf::testing::resetRuntime(); }

  std::vector<std::string> captions() const {
    std::vector<std::string> out;
    for (const auto& m : msgs.messages()) out.push_back(m.caption);
    return out;
  }

  // Runs `proc` on a new program thread that has its own access objects, and drives
  // the scheduler until every thread waits or has ended.
  void runThread(std::function<void()> proc) {
    pf::setThreadStartHook(MakeThreadAccess);
    pf::setThreadExitHook(FreeThreadAccess);
    pf::start(std::move(proc), 50000);
    pf::runUntilIdle();
  }

  TempDir dir;
  pf::testing::MessageRecorder msgs;
};

}  // namespace qbtest
