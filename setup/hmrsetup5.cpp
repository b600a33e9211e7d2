// SPDX-License-Identifier: MIT
// hmrsetup5: installs the HMR package for the Delphi 5 IDE.
#include "setup/InstallerProgram.h"

int main(int argc, char** argv) { return hmr::runInstallerProgram(5, argc, argv); }
