// Runs the frame headless in a fresh folder, with the user played by the test driver.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data/access.h"
#include "data/globals.h"
#include "data/protection.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/ini_manager.h"
#include "platform/os/desktop.h"
#include "platform/core/strings.h"
#include "platform/store/key_change.h"
#include "platform/ui/test_driver.h"
#include "shell/main_frame.h"
#include "shell/main_program.h"
#include "tests/support/quick_rounds.h"
#include "tests/support/temp_dir.h"

namespace qbtest {

inline void resetShellGlobals() {
  GLO_PasswordOn = 0;
  GLO_ProgramPassword.clear();
  GLO_PasswordChangeMode = 0;
  GLO_ValidatePasswordThread = 0;
  GLO_Win_AboutThread = 0;
  GLO_BrowseSitesOpen = 0;
  GLO_BrowseCatsOpen = 0;
  // As a program starts: the owner password alone until the password is given.
  DataKey().setPasswordRounds(qbtest::kQuickRounds);
  DataKey().use(DataKey().with({}));
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetShellGlobals();
    pf::setDesktopShell(&shell);
  }
  void TearDown() override {
    pf::setDesktopShell(nullptr);
    resetShellGlobals();
  }

  // The frame on thread 1, as the main program starts it; `user` plays the user.
  void runProgram(pf::TestDriver& d, const std::function<void()>& user) {
    qb::installThreadHooks();
    qb::registerProcedures();
    d.run(
        [] {
          pf::AppErrors.init();
          pf::AppIni.init("Linkvue.ini");
          MakeThreadAccess();
          qb::Main();
        },
        user);
  }

  // Access.tps with one blank record, keyed with `password` as applying it in the form
  // keys it (blank: the owner password alone); nothing given: a file with no record.
  // With `data`, wsites.tps holds a website and is keyed alike.
  void writeAccess(std::optional<std::string> password, bool data = false) {
    pf::TestDriver d;
    d.start([password, data] {
      pf::AppErrors.init();
      MakeThreadAccess();
      ASSERT_EQ(Relate_Access().RelationOpen(), 0);
      if (password) {
        *ACC = AccessRecord{};
        ASSERT_EQ(Access().add(), 0);
      }
      Relate_Access().RelationClose();
      if (data) {
        ASSERT_EQ(Relate_WSites().RelationOpen(), 0);
        *WEB = WSitesRecord{};
        WEB->DESCRIPTION = "A website";
        ASSERT_EQ(WSites().add(), 0);
        Relate_WSites().RelationClose();
      }
      FreeThreadAccess();
    });
    if (password && !pf::isBlank(*password)) {
      std::string why;
      ASSERT_EQ(ChangeProgramPassword(*password, &why), 0) << why;
    }
    DataKey().use(DataKey().with({}));
  }

  // Which of `candidates` ("": the owner password alone) opens every keyed file on disk;
  // "(none)" when none does.
  static std::string openingPassword(const std::vector<std::string>& candidates) {
    for (const auto& c : candidates) {
      pf::CipherKey key = DataKey().with(c);
      bool opens = pf::tryKey(AccessDesc(), key) == pf::KeyFit::Opens;
      pf::KeyFit web = pf::tryKey(WSitesDesc(), key);
      if (opens && (web == pf::KeyFit::Opens || web == pf::KeyFit::Missing)) return c;
    }
    return "(none)";
  }

  static bool isOpen(pf::TestDriver& d, const std::string& name) {
    for (const auto& w : d.windows())
      if (w.name == name) return true;
    return false;
  }

  // The halt the program ended with ("" when none), acknowledging its box.
  static std::string haltText(pf::TestDriver& d) {
    pf::Dialog* b = d.box();
    if (!b || b->kind != pf::DialogKind::Halt) return {};
    std::string text = b->message.text;
    d.answer(1);
    return text;
  }

  // Answers a message box that must be open with `text`.
  static void acknowledge(pf::TestDriver& d, const std::string& text) {
    pf::Dialog* b = d.box();
    ASSERT_NE(b, nullptr) << "no box open; expected: " << text;
    ASSERT_EQ(b->kind, pf::DialogKind::Message);
    EXPECT_EQ(b->message.text, text);
    d.answer(1);
  }

  TempDir dir;
  pf::RecordingDesktopShell shell;
};

}  // namespace qbtest
