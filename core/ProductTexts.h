// SPDX-License-Identifier: MIT
// The product's name and the texts that carry it, in one place: the tracker's windows, the
// IDE package and the installers show them exactly as written here.
#pragma once

#include <string_view>

namespace hmr::product {

// The product's name: the package description, the About page and the user dialog's title.
inline constexpr std::string_view Name = "Project Revedazl";
// The short name that titles message boxes.
inline constexpr std::string_view ShortName = "HMR";
// The tracker dialog's caption.
inline constexpr std::string_view TrackerDialogCaption = "HMR - Project Revedazl";
// The View-menu entry that opens the tracker dialog ("&" marks the accelerator letter).
inline constexpr std::string_view MenuText = "Project Revedaz&l";
// What the wizard answers the IDE: its name, its identifier (the same in every build) and
// its author.
inline constexpr std::string_view WizardName = "Project Revedazl Expert";
inline constexpr std::string_view WizardIDString = "Corvane.HMRExpertD4";
inline constexpr std::string_view Author = "CorvaneSW";
// The file dialog's filter for data files.
inline constexpr std::string_view DataFileFilter = "Project Revedazler (*.hmr)";
// The About page's invitation to report errors.
inline constexpr std::string_view SupportNotice =
    "Found an error, or missing something? Please report errors and send suggestions "
    "through the HMR project's issue tracker; every report is read.";

}  // namespace hmr::product
