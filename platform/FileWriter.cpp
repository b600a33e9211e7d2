// SPDX-License-Identifier: MIT
#include "platform/FileWriter.h"

#include "platform/LinuxFileWriter.h"

namespace hmr {
namespace {

LinuxFileWriter& defaultWriter() {
  static LinuxFileWriter writer;
  return writer;
}

FileWriter* installed = nullptr;

}  // namespace

FileWriter& currentFileWriter() { return installed ? *installed : defaultWriter(); }

FileWriter* installFileWriter(FileWriter* writer) {
  FileWriter* previous = installed ? installed : &defaultWriter();
  installed = writer;
  return previous;
}

}  // namespace hmr
