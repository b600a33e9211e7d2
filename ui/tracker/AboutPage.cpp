// SPDX-License-Identifier: MIT
#include "ui/tracker/AboutPage.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>

#include "core/ProductTexts.h"
#include "core/uHMRGlobal.h"
#include "core/uHMRProjectGroup.h"
#include "ui/tracker/DialogWidgets.h"
#include "ui/tracker/TrackerPictures.h"

namespace hmr {

using tracker_ui::named;
using tracker_ui::qtText;

AboutPage::AboutPage(QWidget* parent) : QWidget(parent) {
  setObjectName("TabAbout");
  auto* layout = new QGridLayout(this);
  Image1 = named(new QLabel(this), "Image1");
  Image1->setFixedSize(64, 64);
  Image1->setPixmap(QPixmap(trackerPicture("product")));
  Label4 = named(new QLabel(qtText(product::Name), this), "Label4");
  QFont big = Label4->font();
  big.setPointSizeF(big.pointSizeF() * 2);
  big.setBold(true);
  Label4->setFont(big);
  lblForTool = named(new QLabel("For XXXX", this), "lblForTool");
  lblVersion = named(new QLabel("Version XX", this), "lblVersion");
  auto* Panel2 = named(new QFrame(this), "Panel2");
  auto* Panel3 = named(new QFrame(this), "Panel3");
  for (QFrame* line : {Panel2, Panel3}) {
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
  }
  lblBugs = named(new QLabel(qtText(product::SupportNotice), this), "lblBugs");
  lblBugs->setWordWrap(true);
  layout->addWidget(Image1, 0, 0, 3, 1, Qt::AlignTop);
  layout->addWidget(Label4, 0, 1);
  layout->addWidget(lblForTool, 1, 1);
  layout->addWidget(lblVersion, 2, 1);
  layout->addWidget(Panel2, 3, 0, 1, 2);
  layout->addWidget(lblBugs, 4, 0, 1, 2);
  layout->addWidget(Panel3, 5, 0, 1, 2);
  layout->setColumnStretch(1, 1);
  layout->setRowStretch(6, 1);
}

void AboutPage::showHost(const THMRProjectGroup& group) {
  lblVersion->setText(QString::fromStdString(formatVersionDesc(group.HostVersion)));
  lblForTool->setText(QString::fromStdString(group.HostDescription));
}

}  // namespace hmr
