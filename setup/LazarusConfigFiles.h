// SPDX-License-Identifier: MIT
// The two values of a user's Lazarus configuration that the installer reads and changes, in the
// text of Lazarus's own XML files, everything else left byte for byte as it was:
// - the IDE's install list, MiscellaneousOptions/BuildLazarusOptions/StaticAutoInstallPackages
//   in miscellaneousoptions.xml: the packages lazbuild and the IDE build the IDE with;
// - the Lazarus version that last used the configuration, the attribute Lazarus of
//   EnvironmentOptions/Version in environmentoptions.xml.
// Lazarus writes a list as <Name Count="N"> with children <Item1 Value="..."/> to ItemN and
// reads Item1 to ItemN; so do these functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hmr {

inline constexpr std::string_view MiscellaneousOptionsFile = "miscellaneousoptions.xml";
inline constexpr std::string_view EnvironmentOptionsFile = "environmentoptions.xml";

// The package names of the install list, in their order; empty when the text has no list.
// Throws HmrError naming `fileName` when the list is there but not well formed.
std::vector<std::string> installListOf(std::string_view xml, std::string_view fileName);

// The text with the install list holding exactly `names`, written as Lazarus writes it, with the
// indentation of the list's own line; an empty list is removed. A text without a list gets one
// at the end of BuildLazarusOptions. Throws HmrError naming `fileName` when the text has no
// BuildLazarusOptions to hold it, or the list is not well formed.
std::string withInstallList(std::string_view xml, const std::vector<std::string>& names,
                            std::string_view fileName);

// The Lazarus version recorded in environment options; nothing when the text records none.
std::optional<std::string> lazarusVersionOf(std::string_view xml);

// The text with the recorded Lazarus version set to `version`. Throws HmrError naming `fileName`
// when the text records no version.
std::string withLazarusVersion(std::string_view xml, std::string_view version,
                               std::string_view fileName);

// Whether two Lazarus versions are the same release: their numbers (up to the first character
// that is neither a digit nor a dot) agree, whatever a distribution appended ("2.2.6" and
// "2.2.6+dfsg2-2" are; "2.2.4" and "2.2.6" are not).
bool sameLazarusRelease(std::string_view a, std::string_view b);

}  // namespace hmr
