// SPDX-License-Identifier: MIT
// Which Lazarus packages an IDE program was built with, read from the program itself.
//
// Every package that puts something into the IDE has a main unit whose initialization calls
// RegisterPackage('Name', @Register), and whose Register calls RegisterUnit('Unit', ...) for
// each unit that registers components or IDE parts. Free Pascal compiles those names into the
// program as constant strings, laid out as it lays out every constant AnsiString: a reference
// count of -1, the length, the text and a terminating zero (each count as wide as a pointer of
// the target, in its byte order). So a package of a Lazarus tree is in an IDE program when all
// the names its main unit registers are constant strings of that program. Debian's IDE is built
// with the extra packages of Lazarus's "BigIDE" set, a rebuilt IDE with those of its install
// list; both answer the same way, stripped or not.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace hmr {

// A package main unit: the package's name and every name the unit registers (the package's
// own first).
struct RegisteringPackage {
  std::string name;
  std::vector<std::string> registeredNames;
};

// The package main units below `folder`: the Pascal sources (.pas, .pp) in the folders of
// package files (.lpk) that call RegisterPackage with a constant name. Folders of compiled
// units (lib, units) are skipped.
// For a Lazarus tree, its components/ folder holds every package beyond the base set.
// Throws HmrError when the folder cannot be read.
std::vector<RegisteringPackage> registeringPackages(const std::string& folder);

// The constant strings of the Free Pascal program `programPath` (an ELF file), those made of
// the characters of Pascal identifiers and unit names only. Throws HmrError naming the file
// when it cannot be read or is not an ELF program.
std::set<std::string> programStringConstants(const std::string& programPath);

// The packages of `packages` whose registered names are all among `constants`, in their order.
std::vector<std::string> packagesIn(const std::vector<RegisteringPackage>& packages,
                                    const std::set<std::string>& constants);

// The packages every IDE build holds whatever its install list says (Lazarus's base set:
// FCL, LazUtils, LCLBase, LCL, SynEdit, BuildIntf, IDEIntf, DebuggerIntf, LazDebuggerGdbmi,
// LazControls, CodeTools, LazControlDsgn). Package names compare without regard to case.
bool isBaseIdePackage(std::string_view name);

// Whether two package names are the same package (Lazarus compares them without case).
bool samePackageName(std::string_view a, std::string_view b);

}  // namespace hmr
