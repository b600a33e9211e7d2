// SPDX-License-Identifier: MIT
#include "platform/Locale.h"

#include <langinfo.h>

#include <cwchar>
#include <cwctype>
#include <vector>

namespace hmr {
namespace {

constinit InstalledService<Locale, SystemLocale> inUse;

// A text decoded in the process's character set and folded to lower case, kept on the stack
// when short: the comparison runs for every pair a sort or a fold looks at.
class FoldedWide {
 public:
  // False when `text` is not valid in the process's character set.
  bool assign(std::string_view text) {
    wchar_t* out = small_;
    if (text.size() + 1 > kSmall) {
      big_.resize(text.size() + 1);
      out = big_.data();
    }
    data_ = out;
    std::mbstate_t state{};
    std::size_t n = 0;
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
      const auto byte = static_cast<unsigned char>(*p);
      if (byte != 0 && byte < 0x80 && std::mbsinit(&state)) {
        // Every character set of the C library is ASCII-compatible: no decoding needed.
        out[n++] = static_cast<wchar_t>(std::towlower(byte));
        ++p;
        --left;
        continue;
      }
      wchar_t wc = 0;
      const std::size_t used = std::mbrtowc(&wc, p, left, &state);
      if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2))
        return false;
      if (used == 0) return false;  // an embedded NUL would end the collation early
      out[n++] = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(wc)));
      p += used;
      left -= used;
    }
    out[n] = L'\0';
    return true;
  }
  const wchar_t* c_str() const { return data_; }

 private:
  static constexpr std::size_t kSmall = 128;
  wchar_t small_[kSmall];
  std::vector<wchar_t> big_;
  const wchar_t* data_ = small_;
};

int sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

std::string timeFormatWithoutSeconds(std::string_view format) {
  std::string out(format);
  if (auto at = out.find(":%S"); at != std::string::npos) {
    out.erase(at, 3);
  } else if (at = out.find("%T"); at != std::string::npos) {
    out.replace(at, 2, "%H:%M");
  } else if (at = out.find("%r"); at != std::string::npos) {
    out.replace(at, 2, "%I:%M %p");
  }
  return out;
}

std::string formatTm(std::string_view format, const std::tm& when) {
  if (format.empty()) return {};
  const std::string fmt(format);
  // strftime returns 0 both for "too small" and for an empty result; stop growing at a size
  // no sane format reaches.
  for (std::size_t size = 64; size <= 64 * 1024; size *= 4) {
    std::string buffer(size, '\0');
    const std::size_t n = std::strftime(buffer.data(), buffer.size(), fmt.c_str(), &when);
    if (n > 0) {
      buffer.resize(n);
      return buffer;
    }
  }
  return {};
}

std::string Locale::longTimeFormatWithoutSeconds() const {
  return timeFormatWithoutSeconds(longTimeFormat());
}

std::string Locale::formatShortDate(const std::tm& when) const {
  return formatTm(shortDateFormat(), when);
}

std::string Locale::formatTimeWithoutSeconds(const std::tm& when) const {
  return formatTm(longTimeFormatWithoutSeconds(), when);
}

int compareTextAscii(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int SystemLocale::compareText(std::string_view a, std::string_view b) const {
  if (a == b) return 0;  // the common tie of a sort by name, without decoding
  FoldedWide wa;
  FoldedWide wb;
  // Text that the locale cannot decode is compared byte-wise, both sides alike.
  if (!wa.assign(a) || !wb.assign(b)) return compareTextAscii(a, b);
  return sign(std::wcscoll(wa.c_str(), wb.c_str()));
}

std::string SystemLocale::shortDateFormat() const { return nl_langinfo(D_FMT); }

std::string SystemLocale::longTimeFormat() const { return nl_langinfo(T_FMT); }

std::string SystemLocale::decimalSeparator() const {
  const std::string radix = nl_langinfo(RADIXCHAR);
  return radix.empty() ? std::string(".") : radix;
}

int FixedLocale::compareText(std::string_view a, std::string_view b) const {
  return compareTextAscii(a, b);
}

Locale& currentLocale() { return inUse.current(); }

Locale* installLocale(Locale* locale) { return inUse.install(locale); }

}  // namespace hmr
