// SPDX-License-Identifier: MIT
// The tracker dialog's pictures (ours, in ui/pictures/), compiled into the ui library as Qt
// resources and registered on first use.
#pragma once

#include <QIcon>
#include <QString>

namespace hmr {

// The resource path of the picture `name` ("icon", "open", "close", "product").
QString trackerPicture(const char* name);
// The tree pictures by index: 0 the group, 1 an open, 2 an idle, 3 a closed project.
QIcon treePicture(int index);

}  // namespace hmr
