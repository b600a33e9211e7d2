// SPDX-License-Identifier: MIT
#include "ui/tracker/TrackerPictures.h"

#include <algorithm>

// The pictures are compiled into this static library; register them once before first use.
static void initTrackerResources() { Q_INIT_RESOURCE(hmr_ui); }

namespace hmr {

QString trackerPicture(const char* name) {
  initTrackerResources();
  return QStringLiteral(":/hmr/%1.png").arg(QString::fromLatin1(name));
}

QIcon treePicture(int index) {
  static constexpr const char* kNames[] = {"tree-group", "tree-open", "tree-idle", "tree-closed"};
  return QIcon(trackerPicture(kNames[std::clamp(index, 0, 3)]));
}

}  // namespace hmr
