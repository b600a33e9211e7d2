// SPDX-License-Identifier: MIT
#include "platform/FileWriter.h"

#include "platform/LinuxFileWriter.h"

namespace hmr {
namespace {

constinit InstalledService<FileWriter, LinuxFileWriter> inUse;

}  // namespace

FileWriter& currentFileWriter() { return inUse.current(); }

FileWriter* installFileWriter(FileWriter* writer) { return inUse.install(writer); }

}  // namespace hmr
