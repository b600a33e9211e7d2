// SPDX-License-Identifier: MIT
// Everything in which the Delphi 5 and the Delphi 4 builds of the package differ, in one
// place. The build chooses the IDE version with the compile definition HMR_IDE_VERSION
// (5 or 4), or Lazarus with HMR_FOR_LAZARUS; each build serves only its own IDE.
#pragma once

#include "core/ProductTexts.h"
#include "core/uHMRGlobal.h"
#include "ide/contract/ToolsAPI.h"

#if !defined(HMR_IDE_VERSION) && !defined(HMR_FOR_LAZARUS)
#error "HMR_IDE_VERSION must be defined as 5 or 4 by the build (or HMR_FOR_LAZARUS)"
#endif

namespace hmr::ide_build {

#if defined(HMR_FOR_LAZARUS)
// Lazarus reaches the package through the tracker's C interface (lazarus/), whose stand-in
// IDE plays the Delphi 5 tools interfaces for it.
inline constexpr const char* PackageName = "hmrlazarus";
inline constexpr const char* PackageFileName = "libhmrtracker.so";
inline constexpr const char* RequiredPackages[] = {"IDEIntf", "LCL"};
inline constexpr THostTool HostTool = ftLazarus;
inline constexpr const char* HostVersion = "2.0";
inline constexpr const TGUID& IID_IOTAProject = IID_IOTAProject_Delphi5;
#elif HMR_IDE_VERSION == 5
inline constexpr const char* PackageName = "HMExpert50";
inline constexpr const char* PackageFileName = "HMExpert50.bpl";
inline constexpr const char* RequiredPackages[] = {"vcl50", "vclsmp50"};
inline constexpr THostTool HostTool = ftDelphi5;
inline constexpr const char* HostVersion = "2.0b";
inline constexpr const TGUID& IID_IOTAProject = IID_IOTAProject_Delphi5;
#elif HMR_IDE_VERSION == 4
inline constexpr const char* PackageName = "HMExpert40";
inline constexpr const char* PackageFileName = "HMExpert40.bpl";
inline constexpr const char* RequiredPackages[] = {"vcl40", "vclsmp40"};
inline constexpr THostTool HostTool = ftDelphi4;
inline constexpr const char* HostVersion = "2.0";
inline constexpr const TGUID& IID_IOTAProject = IID_IOTAProject_Delphi4;
#else
#error "HMR_IDE_VERSION must be 5 or 4"
#endif

inline constexpr std::string_view PackageDescription = product::Name;

}  // namespace hmr::ide_build
