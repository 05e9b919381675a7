// What OpenURL hands the desktop, and what it never does.
#include <gtest/gtest.h>

#include "platform/os/desktop.h"
#include "shell/open_url.h"

namespace {

TEST(OpenUrl, AddressRule) {
  const std::string long300 = "http://example.com/" + std::string(281, 'a');
  struct Case {
    std::string in;
    std::optional<std::string> out;
  } cases[] = {
      {"http://example.com", "http://example.com"},
      {"HTTPS://Example.com/Path?Q=1", "HTTPS://Example.com/Path?Q=1"},
      {"ftp://files.example.com/x", "ftp://files.example.com/x"},
      {"mailto:me@example.com", "mailto:me@example.com"},
      {"http://example.com/a   ", "http://example.com/a"},
      {"  http://example.com", "  http://example.com"},
      {"www.example.com", "http://www.example.com"},
      {"example.com:8080/x", "http://example.com:8080/x"},
      {"localhost:8080", "http://localhost:8080"},
      {long300, long300.substr(0, 255)},
      {"", std::nullopt},
      {"     ", std::nullopt},
      {"file:///etc/passwd", std::nullopt},
      {"/usr/bin/xterm", std::nullopt},
      {"./run.sh", std::nullopt},
      {"~/notes.txt", std::nullopt},
      {"C:\\Windows\\notepad.exe", std::nullopt},
      {"c:/autoexec.bat", std::nullopt},
      {"\\\\server\\share", std::nullopt},
      {"javascript:alert(1)", std::nullopt},
      {"smb://server/share", std::nullopt},
      {"http:", std::nullopt},
      {"http:///etc/passwd", std::nullopt},
      {"mailto:", "mailto:"},
      {"mailto:me@example.com?subject=Hi&body=See%20you", "mailto:me@example.com?subject=Hi&body=See%20you"},
      {"mailto:me@example.com?attach=/home/me/.ssh/id_rsa", "mailto:me@example.com"},
      {"mailto:me@example.com?subject=Hi&attach=~/.bashrc&cc=you@example.com",
       "mailto:me@example.com?subject=Hi&cc=you@example.com"},
      {"mailto:me@example.com?ATTACHMENT=file:///etc/passwd&Subject=x", "mailto:me@example.com?Subject=x"},
      {"mailto:me@example.com?%61ttach=/etc/passwd", "mailto:me@example.com"},
      {"mailto:me@example.com?body=a&file=/etc/shadow&x-attach=/tmp/a", "mailto:me@example.com?body=a"},
      {"http://example.com/\nrm -rf", std::nullopt},
      {"$(reboot)", std::nullopt},
      {"; rm -rf /", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(qb::desktopAddress(c.in), c.out);
  }
}

TEST(OpenUrl, HandsOnlyAllowedAddressesToTheDesktop) {
  pf::RecordingDesktopShell shell;
  pf::setDesktopShell(&shell);
  EXPECT_TRUE(qb::OpenURL(0, "www.example.com  "));
  EXPECT_FALSE(qb::OpenURL(0, "/bin/sh"));
  shell.answer = false;
  EXPECT_FALSE(qb::OpenURL(0, "mailto:a@b.org")) << "a refusal by the desktop is reported";
  pf::setDesktopShell(nullptr);
  ASSERT_EQ(shell.opened.size(), 2u);
  EXPECT_EQ(shell.opened[0], "http://www.example.com");
  EXPECT_EQ(shell.opened[1], "mailto:a@b.org");
}

}  // namespace
