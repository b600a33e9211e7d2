// SPDX-License-Identifier: MIT
// hmrsetup4: installs the HMR package for the Delphi 4 IDE.
#include "setup/InstallerProgram.h"

int main(int argc, char** argv) { return hmr::runInstallerProgram(4, argc, argv); }
