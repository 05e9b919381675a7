#include "shell/open_url.h"

#include <algorithm>
#include <cctype>

#include "platform/core/strings.h"
#include "platform/core/field.h"
#include "platform/os/desktop.h"

namespace qb {
namespace {

constexpr std::size_t MaxAddress = 255;

// The scheme of `s` (before its first ':'), or empty when it has none. "host:8080" and
// "www.example.com:81/x" have none: what follows is a port.
std::string schemeOf(const std::string& s) {
  auto colon = s.find(':');
  if (colon == std::string::npos || colon == 0) return {};
  if (!std::isalpha(static_cast<unsigned char>(s[0]))) return {};
  for (std::size_t i = 0; i < colon; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return {};
  }
  std::size_t j = colon + 1;
  if (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) return {};
  if (s.find('.') < colon) return {};
  return pf::lower(s.substr(0, colon));
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string percentDecoded(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    int hi = 0, lo = 0;
    if (s[i] == '%' && i + 2 < s.size() && (hi = hexValue(s[i + 1])) >= 0 && (lo = hexValue(s[i + 2])) >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// A mail address with only the header fields that fill in a message: mail programs
// take "attach=" and the like as files to send, and a stored address must not send one.
std::string mailWithoutFiles(const std::string& s) {
  auto query = s.find('?');
  if (query == std::string::npos) return s;
  std::string out = s.substr(0, query);
  char sep = '?';
  std::size_t from = query + 1;
  while (from <= s.size()) {
    auto amp = s.find('&', from);
    std::string field = s.substr(from, amp == std::string::npos ? std::string::npos : amp - from);
    std::string name = pf::lower(percentDecoded(field.substr(0, field.find('='))));
    if (name == "to" || name == "cc" || name == "bcc" || name == "subject" || name == "body") {
      out += sep + field;
      sep = '&';
    }
    if (amp == std::string::npos) break;
    from = amp + 1;
  }
  return out;
}

bool hasHost(const std::string& rest) {
  // "//host..." with a host that is not empty.
  return rest.size() > 2 && rest.compare(0, 2, "//") == 0 && rest[2] != '/' && rest[2] != '\\';
}

}  // namespace

std::optional<std::string> desktopAddress(const std::string& text) {
  std::string s = text;
  while (!s.empty() && s.back() == ' ') s.pop_back();
  s.resize(pf::utf8Fit(s, MaxAddress));
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7f) return std::nullopt;
  std::size_t lead = s.find_first_not_of(' ');
  if (lead == std::string::npos) return std::nullopt;
  std::string body = s.substr(lead);
  if (body.find('\\') != std::string::npos) return std::nullopt;

  std::string scheme = schemeOf(body);
  if (scheme.empty()) {
    if (body.find(':') == 0) return std::nullopt;
    // Taken as a web address: it must start with a host name.
    unsigned char c = static_cast<unsigned char>(body[0]);
    if (!std::isalnum(c) && c < 0x80) return std::nullopt;
    return "http://" + body;
  }
  std::string rest = body.substr(scheme.size() + 1);
  if (scheme == "http" || scheme == "https" || scheme == "ftp") {
    if (!hasHost(rest)) return std::nullopt;
    return s;
  }
  if (scheme == "mailto") {
    // "mailto:" alone opens a blank message in the mail program.
    if (!rest.empty() && rest.find('@') == std::string::npos) return std::nullopt;
    return mailWithoutFiles(s);
  }
  return std::nullopt;
}

bool OpenURL(std::uintptr_t /*window*/, const std::string& address) {
  auto out = desktopAddress(address);
  if (!out) return false;
  return pf::desktopShell().openUrl(*out);
}

}  // namespace qb
