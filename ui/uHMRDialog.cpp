// SPDX-License-Identifier: MIT
// The tracker dialog: its controls, its lifecycle, the filter state and the commands. The tree
// and the grid are filled in uHMRDialogViews.cpp, the exports live in uHMRDialogExport.cpp.
#include "ui/uHMRDialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "core/PathText.h"
#include "core/ProductTexts.h"
#include "core/TrackerUi.h"
#include "core/uHMRExport.h"
#include "core/uHMRProjectGroup.h"
#include "core/uHMRUsers.h"
#include "ui/ErrorBox.h"
#include "ui/SessionGridModel.h"

// The pictures are compiled into this static library; register them once before first use.
static void initUiResources() { Q_INIT_RESOURCE(hmr_ui); }

namespace hmr {
namespace {

constexpr const char* kMinimumWarning =
    "Your change in \"Exclude lines with work time less than:\" field may cause loose of past "
    "information.\r\nDo you want confirm?";

// Sets a flag for the lifetime of the object and puts its value back, even on failure.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag), previous_(std::exchange(flag, true)) {}
  ~FlagScope() { flag_ = previous_; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
  bool previous_;
};

// A caption bar: the pane's title on the colours of a window caption.
QLabel* captionBar(const QString& text, const char* name, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Highlight));
  palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
  label->setPalette(palette);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  label->setContentsMargins(0, 3, 0, 3);
  return label;
}

// The layout of a group box of the filter bar: tight margins, so the bar fits the pane.
template <class Layout>
Layout* compact(Layout* layout) {
  layout->setContentsMargins(4, 2, 4, 4);
  layout->setSpacing(4);
  return layout;
}

template <class Widget>
Widget* named(Widget* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

QString text(std::string_view text) { return QString::fromUtf8(text.data(), std::ssize(text)); }

QStringList listOf(const auto& texts) {
  QStringList list;
  for (const auto& text : texts) list << QString::fromUtf8(text.data(), std::ssize(text));
  return list;
}

std::int32_t minutesShown(std::int64_t seconds) {
  return static_cast<std::int32_t>(roundHalfEven(static_cast<double>(seconds) / 60.0));
}

}  // namespace

int statePictureIndex(THMRState state) {
  switch (state) {
    case hmOpen:
      return 1;
    case hmIdle:
      return 2;
    default:
      return 3;
  }
}

const char* stateCaptionName(THMRState state) {
  switch (state) {
    case hmOpen:
      return "OPEN";
    case hmIdle:
      return "IDLE";
    default:
      return "CLOSED";
  }
}

QIcon treePicture(int index) {
  static constexpr const char* kFiles[] = {":/hmr/tree-group.png", ":/hmr/tree-open.png",
                                           ":/hmr/tree-idle.png", ":/hmr/tree-closed.png"};
  initUiResources();
  return QIcon(QString::fromLatin1(kFiles[std::clamp(index, 0, 3)]));
}

// ---- construction -------------------------------------------------------------------------

TdlgPrjRevedazl::TdlgPrjRevedazl(THMRProjectGroup* group, QWidget* parent)
    : QDialog(parent), FProjectGroup(group) {
  // The group is stored first: the creation handler reads it.
  initUiResources();
  setObjectName("dlgPrjRevedazl");
  setWindowTitle(text(product::TrackerDialogCaption));
  setWindowIcon(QIcon(":/hmr/icon.png"));
  setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
  setSizeGripEnabled(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  splitter = named(new QSplitter(Qt::Horizontal, this), "Splitter1");
  splitter->setChildrenCollapsible(false);
  pnlTree = named(new QWidget(splitter), "pnlTree");
  auto* pnlProject = named(new QWidget(splitter), "pnlProject");
  buildTreePane(pnlTree);
  buildProjectPane(pnlProject);
  // The panes may be squeezed: the splitter keeps the tree's width rather than the filter
  // bar's wish for room.
  pnlTree->setMinimumWidth(20);
  pnlProject->setMinimumWidth(60);
  splitter->addWidget(pnlTree);
  splitter->addWidget(pnlProject);
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  layout->addWidget(splitter, 1);
  layout->addWidget(buildBottomBar());

  resize(652, 422);
  setMinimumSize(140, 220);
  splitter->setSizes({120, 532});
  FormCreate();
}

TdlgPrjRevedazl::~TdlgPrjRevedazl() { FormDestroy(); }

void TdlgPrjRevedazl::buildTreePane(QWidget* pane) {
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  lblCapTree = captionBar("  &Project Group", "lblCapTree", pane);
  layout->addWidget(lblCapTree);

  ScrollBoxOpenClose = named(new QWidget(pane), "ScrollBoxOpenClose");
  ScrollBoxOpenClose->setFixedHeight(26);
  btnOpen = named(new QToolButton(ScrollBoxOpenClose), "btnOpen");
  btnClose = named(new QToolButton(ScrollBoxOpenClose), "btnClose");
  const std::pair<QToolButton*, const char*> buttons[] = {{btnOpen, "&Open"},
                                                          {btnClose, "&Close"}};
  for (const auto& [button, text] : buttons) {
    button->setText(text);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  }
  btnOpen->setIcon(QIcon(":/hmr/open.png"));
  btnClose->setIcon(QIcon(":/hmr/close.png"));
  ScrollBoxOpenClose->installEventFilter(this);
  layout->addWidget(ScrollBoxOpenClose);
  connect(btnOpen, &QToolButton::clicked, this,
          [this] { runGuarded(this, [&] { btnOpenClick(); }); });
  connect(btnClose, &QToolButton::clicked, this,
          [this] { runGuarded(this, [&] { btnCloseClick(); }); });

  TreeView = named(new QTreeWidget(pane), "TreeView");
  TreeView->setHeaderHidden(true);
  TreeView->setColumnCount(1);
  TreeView->setRootIsDecorated(false);
  TreeView->setItemsExpandable(false);
  TreeView->setExpandsOnDoubleClick(false);
  TreeView->setIndentation(20);
  TreeView->setIconSize(QSize(16, 18));
  TreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView->setSelectionMode(QAbstractItemView::SingleSelection);
  // The selection stays visible while the tree has no focus.
  QPalette palette = TreeView->palette();
  for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
    palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
  TreeView->setPalette(palette);
  lblCapTree->setBuddy(TreeView);
  layout->addWidget(TreeView, 1);
  connect(TreeView, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* node) { runGuarded(this, [&] { TreeViewChange(node); }); });
}

void TdlgPrjRevedazl::buildProjectPane(QWidget* pane) {
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  lblCapProj = captionBar("  Project &Information", "lblCapProj", pane);
  layout->addWidget(lblCapProj);
  layout->addWidget(buildFilterBar());

  PageControl = named(new QTabWidget(pane), "PageControl");
  TabHistory = buildHistoryPage();
  TabProjectInfo = buildProjectInfoPage();
  TabTools = buildToolsPage();
  TabAbout = buildAboutPage();
  PageControl->addTab(TabHistory, "History");
  PageControl->addTab(TabProjectInfo, "Project Info");
  PageControl->addTab(TabTools, "Tools");
  PageControl->addTab(TabAbout, "About");
  lblCapProj->setBuddy(PageControl);
  layout->addWidget(PageControl, 1);
  connect(PageControl, &QTabWidget::currentChanged, this,
          [this](int index) { runGuarded(this, [&] { PageControlChange(index); }); });
}

QWidget* TdlgPrjRevedazl::buildFilterBar() {
  auto* bar = named(new QWidget(this), "pnlFilter");
  auto* layout = new QHBoxLayout(bar);
  layout->setContentsMargins(2, 0, 2, 0);
  layout->setSpacing(4);

  auto* boxGroupBy = named(new QGroupBox("&Group By:", bar), "gbxGroupBy");
  auto* groupByLayout = compact(new QHBoxLayout(boxGroupBy));
  cmbGroupBy = named(new QComboBox(boxGroupBy), "cmbGroupBy");
  // An editable list whose text can only be one of its entries: typing selects an entry.
  cmbGroupBy->setEditable(true);
  cmbGroupBy->setInsertPolicy(QComboBox::NoInsert);
  cmbGroupBy->setMinimumContentsLength(7);
  cmbGroupBy->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  groupByLayout->addWidget(cmbGroupBy);
  layout->addWidget(boxGroupBy);

  auto* boxSortBy = named(new QGroupBox("&Sort By:", bar), "gbxSortBy");
  auto* sortLayout = compact(new QHBoxLayout(boxSortBy));
  cmpSortItem = named(new QComboBox(boxSortBy), "cmpSortItem");
  cmpSortItem->setMinimumContentsLength(8);
  cmpSortItem->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  cmpSortOrder = named(new QComboBox(boxSortBy), "cmpSortOrder");
  sortLayout->addWidget(cmpSortItem);
  sortLayout->addWidget(cmpSortOrder);
  layout->addWidget(boxSortBy);

  grpTimeUnit = named(new QGroupBox("&Time Unit:", bar), "grpTimeUnit");
  auto* unitLayout = compact(new QGridLayout(grpTimeUnit));
  rbHours = named(new QRadioButton("hs", grpTimeUnit), "grpTimeUnitHours");
  rbMinutes = named(new QRadioButton("min", grpTimeUnit), "grpTimeUnitMinutes");
  rbHours->setChecked(true);
  unitLayout->addWidget(rbHours, 0, 0);
  unitLayout->addWidget(rbMinutes, 0, 1);
  layout->addWidget(grpTimeUnit);

  chkShowUsername = named(new QCheckBox("S&how User Name", bar), "chkShowUsername");
  chkShowUsername->setChecked(true);
  layout->addWidget(chkShowUsername);
  layout->addStretch(1);

  // Only the user's choices run the handlers, not the dialog's own setting of the lists.
  connect(cmbGroupBy, &QComboBox::activated, this,
          [this] { runGuarded(this, [&] { cmbGroupByChange(); }); });
  connect(cmpSortItem, &QComboBox::activated, this,
          [this] { runGuarded(this, [&] { cmpSortItemChange(); }); });
  connect(cmpSortOrder, &QComboBox::activated, this,
          [this] { runGuarded(this, [&] { cmpSortOrderChange(); }); });
  for (QRadioButton* button : {rbHours, rbMinutes}) {
    connect(button, &QRadioButton::clicked, this,
            [this] { runGuarded(this, [&] { grpTimeUnitClick(); }); });
  }
  connect(chkShowUsername, &QCheckBox::clicked, this,
          [this] { runGuarded(this, [&] { chkShowUsernameClick(); }); });
  return bar;
}

QWidget* TdlgPrjRevedazl::buildHistoryPage() {
  auto* page = named(new QWidget, "TabHistory");
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  grdSessions = named(new QTableView(page), "grdSessions");
  gridModel_ = new SessionGridModel(this);
  grdSessions->setModel(gridModel_);
  grdSessions->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdSessions->setSelectionMode(QAbstractItemView::SingleSelection);
  grdSessions->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdSessions->setShowGrid(true);
  grdSessions->setWordWrap(false);
  // The columns have fixed pixel widths: a slightly smaller face keeps a date and time of day
  // inside its 110 pixels with common desktop fonts.
  QFont gridFont = grdSessions->font();
  gridFont.setPointSizeF(gridFont.pointSizeF() * 0.9);
  grdSessions->setFont(gridFont);
  grdSessions->verticalHeader()->hide();  // no fixed column
  grdSessions->verticalHeader()->setMinimumSectionSize(18);
  grdSessions->verticalHeader()->setDefaultSectionSize(18);
  grdSessions->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grdSessions->horizontalHeader()->setDefaultSectionSize(94);
  grdSessions->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  grdSessions->horizontalHeader()->setHighlightSections(false);
  grdSessions->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  grdSessions->installEventFilter(this);
  layout->addWidget(grdSessions);
  return page;
}

QWidget* TdlgPrjRevedazl::buildProjectInfoPage() {
  auto* page = named(new QWidget, "TabProjectInfo");
  auto* layout = new QVBoxLayout(page);
  auto* box = named(new QGroupBox("&Configuration", page), "gbxConfiguration");
  auto* grid = new QGridLayout(box);
  sedtIdle = named(new QSpinBox(box), "sedtIdle");
  sedtMinimum = named(new QSpinBox(box), "sedtMinimum");
  const std::pair<QSpinBox*, const char*> rows[] = {
      {sedtIdle, "Consider idle when inactive for:"},
      {sedtMinimum, "Exclude lines with work time less than:"}};
  int row = 0;
  for (const auto& [spin, text] : rows) {
    spin->setRange(1, 60);
    auto* label = new QLabel(text, box);
    label->setBuddy(spin);
    grid->addWidget(label, row, 0);
    grid->addWidget(spin, row, 1);
    grid->addWidget(new QLabel("minute(s)", box), row, 2);
    ++row;
  }
  cmdRestDefault = named(new QPushButton("&Restore Default", box), "cmdRestDefault");
  cmdRestDefault->setAutoDefault(false);
  grid->addWidget(cmdRestDefault, row, 0, 1, 1, Qt::AlignLeft);
  grid->setColumnStretch(3, 1);
  layout->addWidget(box);
  layout->addStretch(1);
  // A spin box changes with every value it takes, the dialog's own settings included.
  connect(sedtIdle, &QSpinBox::valueChanged, this, [this] { sedtIdleChange(); });
  connect(sedtMinimum, &QSpinBox::valueChanged, this, [this] { sedtMinimumChange(); });
  connect(cmdRestDefault, &QPushButton::clicked, this,
          [this] { runGuarded(this, [&] { cmdRestDefaultClick(); }); });
  return page;
}

QWidget* TdlgPrjRevedazl::buildToolsPage() {
  auto* page = named(new QWidget, "TabTools");
  auto* layout = new QVBoxLayout(page);

  auto* userBox = named(new QGroupBox("User I&nformation", page), "gbxUser");
  auto* userGrid = new QGridLayout(userBox);
  edtCurrentUser = named(new QLineEdit(userBox), "edtCurrentUser");
  edtCurrentUser->setReadOnly(true);
  auto* userLabel = new QLabel("Current User:", userBox);
  userLabel->setBuddy(edtCurrentUser);
  btnChangeUser = named(new QPushButton("Change User", userBox), "btnChangeUser");
  btnChangeUser->setAutoDefault(false);
  chkShowUserDlg = named(new QCheckBox("Show user dialog on startup:", userBox), "chkShowUserDlg");
  chkShowUserDlg->setLayoutDirection(Qt::RightToLeft);  // the text stands left of the box
  userGrid->addWidget(userLabel, 0, 0);
  userGrid->addWidget(edtCurrentUser, 0, 1);
  userGrid->addWidget(btnChangeUser, 0, 2);
  userGrid->addWidget(chkShowUserDlg, 1, 0, 1, 2, Qt::AlignAbsolute | Qt::AlignLeft);
  userGrid->setColumnStretch(1, 1);
  layout->addWidget(userBox);

  auto* exportBox = named(new QGroupBox("&Export", page), "gbxExport");
  auto* exportGrid = new QGridLayout(exportBox);
  cbxExportFormat = named(new QComboBox(exportBox), "cbxExportFormat");
  cbxExportFormat->addItems(
      {"Text File", "Formated Text File (comma separated)", "Clipboard"});
  auto* formatLabel = new QLabel("Format:", exportBox);
  formatLabel->setBuddy(cbxExportFormat);
  cmdExport = named(new QPushButton("Export...", exportBox), "cmdExport");
  cmdExport->setAutoDefault(false);
  exportGrid->addWidget(formatLabel, 0, 0);
  exportGrid->addWidget(cbxExportFormat, 0, 1);
  exportGrid->addWidget(cmdExport, 0, 2);
  exportGrid->setColumnStretch(1, 1);
  layout->addWidget(exportBox);
  layout->addStretch(1);

  connect(btnChangeUser, &QPushButton::clicked, this,
          [this] { runGuarded(this, [&] { btnChangeUserClick(); }); });
  connect(chkShowUserDlg, &QCheckBox::clicked, this,
          [this] { runGuarded(this, [&] { chkShowUserDlgClick(); }); });
  connect(cmdExport, &QPushButton::clicked, this,
          [this] { runGuarded(this, [&] { cmdExportClick(); }); });
  return page;
}

QWidget* TdlgPrjRevedazl::buildAboutPage() {
  auto* page = named(new QWidget, "TabAbout");
  auto* layout = new QGridLayout(page);
  Image1 = named(new QLabel(page), "Image1");
  Image1->setFixedSize(64, 64);
  Image1->setPixmap(QPixmap(":/hmr/product.png"));
  Label4 = named(new QLabel(text(product::Name), page), "Label4");
  QFont big = Label4->font();
  big.setPointSizeF(big.pointSizeF() * 2);
  big.setBold(true);
  Label4->setFont(big);
  lblForTool = named(new QLabel("For XXXX", page), "lblForTool");
  lblVersion = named(new QLabel("Version XX", page), "lblVersion");
  auto* Panel2 = named(new QFrame(page), "Panel2");
  auto* Panel3 = named(new QFrame(page), "Panel3");
  for (QFrame* line : {Panel2, Panel3}) {
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
  }
  lblBugs = named(new QLabel(page), "lblBugs");
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
  return page;
}

QWidget* TdlgPrjRevedazl::buildBottomBar() {
  pnlBotton = named(new QWidget(this), "pnlBotton");
  pnlBotton->setFixedHeight(36);
  btnOk = named(new QPushButton("C&lose", pnlBotton), "btnOk");
  btnOk->setAutoDefault(false);
  btnOk->resize(btnOk->sizeHint().expandedTo(QSize(75, 25)));
  pnlBotton->installEventFilter(this);
  connect(btnOk, &QPushButton::clicked, this, [this] { runGuarded(this, [&] { btnOkClick(); }); });
  return pnlBotton;
}

// ---- form events --------------------------------------------------------------------------

void TdlgPrjRevedazl::FormCreate() {
  // The locale's date and time formats are read afresh whenever the grid is filled.
  FStandAlone = false;
  FFileToOpen.clear();
  cbxExportFormat->setCurrentIndex(0);
  cmpSortOrder->clear();
  cmpSortOrder->addItems(listOf(OrderStrings));
  cmpSortOrder->setCurrentIndex(-1);
  FGroupFilter = {};
  FProjectFilter = {};
  FProjectFilterShown = false;
  if (FProjectGroup) {
    lblVersion->setText(QString::fromStdString(formatVersionDesc(FProjectGroup->HostVersion)));
    lblForTool->setText(QString::fromStdString(FProjectGroup->HostDescription));
  }
  lblBugs->setText(text(product::SupportNotice));
  FShowUserName = true;
  chkShowUsername->setChecked(true);
  ReInitInterface();
}

void TdlgPrjRevedazl::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (activated_) return;
  // The dialog is activated once per showing: its first show.
  activated_ = true;
  if (layout()) layout()->activate();
  const int total = splitter->width() - splitter->handleWidth();
  if (total > 0) splitter->setSizes({treeWidthToShow_, std::max(total - treeWidthToShow_, 1)});
  runGuarded(this, [&] { FormActivate(); });
}

void TdlgPrjRevedazl::FormActivate() {
  if (!FProjectGroup) return;
  {
    FlagScope updating(FTreeUpdating);
    RefreshTreeView();
  }
  UpdateInterface(ulSimple);
  if (FProjectGroup->ViewState.Saved) {
    const TViewState view = FProjectGroup->ViewState;
    FTimeUnit = view.TimeUnit;
    FShowUserName = view.ShowUserName;
    showTimeUnit(FTimeUnit);
    chkShowUsername->setChecked(FShowUserName);
    const auto copyFilters = [&] {
      FGroupFilter = {view.GroupGroupBy, view.GroupSortBy, view.GroupSortOrder};
      FProjectFilter = {view.ProjectGroupBy, view.ProjectSortBy, view.ProjectSortOrder};
    };
    const TFilterTriple shown = FSelectedProject ? TFilterTriple{view.ProjectGroupBy,
                                                                view.ProjectSortBy,
                                                                view.ProjectSortOrder}
                                                 : TFilterTriple{view.GroupGroupBy,
                                                                 view.GroupSortBy,
                                                                 view.GroupSortOrder};
    if (FSelectedProject) copyFilters();
    cmbGroupBy->setCurrentIndex(shown.GroupBy);
    cmbGroupByChange();
    cmpSortItem->setCurrentIndex(shown.SortBy);
    cmpSortOrder->setCurrentIndex(shown.SortOrder);
    if (!FSelectedProject) copyFilters();
    RefreshGrid(true);
  }
  edtCurrentUser->setText(QString::fromStdString(FProjectGroup->UserName));
  const THostTool host = FProjectGroup->HostTool;
  const bool userChoice = host == ftDelphi4 || host == ftDelphi5 || host == ftVB6;
  btnChangeUser->setEnabled(userChoice);
  if (userChoice) {
    chkShowUserDlg->setChecked(
        GetShowDialogKey(FProjectGroup->settings(), FProjectGroup->RegistryKey));
  } else {
    chkShowUserDlg->setEnabled(false);
  }
  // The file is opened once, whatever happens to it.
  const std::string file = std::exchange(FFileToOpen, std::string());
  std::error_code ignored;
  if (!isBlank(file) && std::filesystem::exists(file, ignored)) OpenProject(file);
}

void TdlgPrjRevedazl::reject() { btnOk->click(); }

void TdlgPrjRevedazl::btnOkClick() { close(); }

void TdlgPrjRevedazl::closeEvent(QCloseEvent* event) {
  // A failed save of stand-alone mode keeps the dialog open, its message shown.
  if (!runGuarded(this, [&] { FormCloseQuery(); })) {
    event->ignore();
    return;
  }
  runGuarded(this, [&] { FormClose(); });
  event->accept();
  QDialog::done(QDialog::Rejected);
}

bool TdlgPrjRevedazl::FormCloseQuery() {
  PrepareForClose();
  return true;
}

void TdlgPrjRevedazl::FormClose() { SaveCurrentFilterState(); }

void TdlgPrjRevedazl::FormDestroy() {
  if (FProjectGroup) FProjectGroup->OnDestroyDlg();
}

void TdlgPrjRevedazl::keyPressEvent(QKeyEvent* event) {
  // Esc presses the Close button (the dialog's cancel button); Enter presses nothing.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    btnOk->click();
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return;
  QDialog::keyPressEvent(event);
}

bool TdlgPrjRevedazl::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize) {
    if (watched == ScrollBoxOpenClose) ScrollBoxOpenCloseResize();
    if (watched == pnlBotton) pnlBottonResize();
  } else if (event->type() == QEvent::KeyPress && watched == grdSessions) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::NoModifier && grdSessionsKeyDown(key->key())) return true;
  }
  return QDialog::eventFilter(watched, event);
}

// ---- mode, refresh levels, closing --------------------------------------------------------

void TdlgPrjRevedazl::SetStandAlone(bool Value) {
  if (Value == FStandAlone) return;
  FStandAlone = Value;
  ReInitInterface();
}

void TdlgPrjRevedazl::ReInitInterface() {
  PrepareForClose();
  ScrollBoxOpenClose->setVisible(FStandAlone);
  setActivePage(TabHistory);
}

void TdlgPrjRevedazl::UpdateInterface(TUpdatingLevel Level) {
  if (!FProjectGroup) return;
  const std::int32_t active = FProjectGroup->ActiveIndex;
  switch (Level) {
    case ulProjectSelection:
      UnBoldAll();
      if (active != -1) {
        if (QTreeWidgetItem* node = nodeAt(active + 1)) {
          TreeView->setCurrentItem(node);  // the selection handler runs
          SetNodeBoldState(node, true);
        }
      }
      RefreshGrid(false);
      break;
    case ulSimple:
      if (active == -1) {
        SetSelectedHMRProject(nullptr);
      } else {
        if (QTreeWidgetItem* node = nodeAt(active + 1)) {
          {
            FlagScope updating(FTreeUpdating);
            TreeView->setCurrentItem(node);
          }
          SetNodeBoldState(node, true);
        }
        SetSelectedHMRProject(FProjectGroup->getProject(active));
      }
      RefreshGrid(false);
      break;
    case ulProjectGroup: {
      FlagScope updating(FTreeUpdating);
      RefreshTreeView();
      RefreshGrid(false);
      SetBoldHMRProject(FSelectedProject);
      break;
    }
    case ulReInit:
      ReInitInterface();
      RefreshTreeView();
      RefreshGrid(false);
      break;
  }
}

void TdlgPrjRevedazl::PrepareForClose() {
  if (projectInfoActive()) TabProjectInfoUpdate();
  if (!FStandAlone || !FProjectGroup) return;
  // In IDE mode the projects save themselves; here the dialog saves what it changed.
  for (std::int32_t i = 0; i < FProjectGroup->getProjectCount(); ++i) {
    THMRProject* project = FProjectGroup->getProject(i);
    if (!project->Modified) continue;
    project->SaveFile(project->FileName);
    project->Modified = false;
  }
}

void TdlgPrjRevedazl::SaveCurrentFilterState() {
  if (!FProjectGroup) return;
  TViewState& view = FProjectGroup->ViewState;
  view.Saved = true;
  view.TimeUnit = chosenTimeUnit();
  view.ShowUserName = chkShowUsername->isChecked();
  view.Left = pos().x();
  view.Top = pos().y();
  view.Width = width();
  view.Height = height();
  view.TreeWidth = pnlTree->width();
  const TFilterTriple shown{comboIndex(cmbGroupBy), comboIndex(cmpSortItem),
                            comboIndex(cmpSortOrder)};
  const TFilterTriple& group = FSelectedProject ? FGroupFilter : shown;
  const TFilterTriple& project = FSelectedProject ? shown : FProjectFilter;
  view.GroupGroupBy = group.GroupBy;
  view.GroupSortBy = group.SortBy;
  view.GroupSortOrder = group.SortOrder;
  view.ProjectGroupBy = project.GroupBy;
  view.ProjectSortBy = project.SortBy;
  view.ProjectSortOrder = project.SortOrder;
}

// ---- selection and filters ----------------------------------------------------------------

void TdlgPrjRevedazl::SetSelectedHMRProject(THMRProject* Project) {
  if (FSelectedProject && projectInfoActive()) TabProjectInfoUpdate();
  FSelectedProject = Project;
  if (!Project) {
    if (projectInfoActive()) setActivePage(TabHistory);
    setProjectInfoTabVisible(false);
    lblCapProj->setText("  Project &Information: Project Group");
  } else {
    setProjectInfoTabVisible(true);
    sedtIdle->setValue(minutesShown(Project->TimeForIdle));
    sedtMinimum->setValue(minutesShown(Project->MinimumWorkTime));
    FIdleShown = sedtIdle->value();
    FMinimumShown = sedtMinimum->value();
    lblCapProj->setText(QString::fromStdString("  Project &Information: " + Project->FileName +
                                               "(" + stateCaptionName(Project->State) + ")"));
    FMinimumOnEntry = sedtMinimum->value();
  }
  (FProjectFilterShown ? FProjectFilter : FGroupFilter) = {
      cmbGroupBy->currentIndex(), cmpSortItem->currentIndex(), cmpSortOrder->currentIndex()};
  FProjectFilterShown = Project != nullptr;
  FilterUpdate();
  FProjectInfoChanged = false;
}

void TdlgPrjRevedazl::FilterUpdate() {
  TFilterTriple& filter = currentFilter();
  for (std::int32_t* index : {&filter.GroupBy, &filter.SortBy, &filter.SortOrder})
    if (*index == -1) *index = 0;
  const QStringList groupings = FSelectedProject ? listOf(Project_GroupByStrings)
                                                 : listOf(Group_GroupByStrings);
  cmbGroupBy->clear();
  cmbGroupBy->addItems(groupings);
  const QString grouping = groupings.value(filter.GroupBy, groupings.front());
  cmpSortItem->clear();
  cmpSortItem->addItems(listOf(sortByListTexts(grouping.toStdString())));
  cmbGroupBy->setCurrentIndex(filter.GroupBy);
  cmpSortItem->setCurrentIndex(filter.SortBy);
  cmpSortOrder->setCurrentIndex(filter.SortOrder);
}

void TdlgPrjRevedazl::cmbGroupByChange() {
  const int sortIndex = cmpSortItem->currentIndex();
  currentFilter().GroupBy = cmbGroupBy->currentIndex();
  FilterUpdate();  // the sort list's first entry follows the grouping
  cmpSortItem->setCurrentIndex(sortIndex);
  RefreshGrid(false);
}

void TdlgPrjRevedazl::cmpSortItemChange() {
  currentFilter().SortBy = cmpSortItem->currentIndex();
  RefreshGrid(true);
}

void TdlgPrjRevedazl::cmpSortOrderChange() {
  currentFilter().SortOrder = cmpSortOrder->currentIndex();
  RefreshGrid(true);
}

void TdlgPrjRevedazl::grpTimeUnitClick() {
  const QModelIndex current = grdSessions->currentIndex();
  const int topRow = grdSessions->verticalScrollBar()->value();
  FTimeUnit = chosenTimeUnit();
  RefreshGrid(true);
  if (current.isValid() && current.row() < gridModel_->rowCount()) {
    grdSessions->setCurrentIndex(gridModel_->index(current.row(), current.column()));
  }
  grdSessions->verticalScrollBar()->setValue(topRow);
}

void TdlgPrjRevedazl::chkShowUsernameClick() {
  FShowUserName = chkShowUsername->isChecked();
  RefreshGrid(false);
}

void TdlgPrjRevedazl::TreeViewChange(QTreeWidgetItem* Node) {
  if (FTreeUpdating || !Node) return;
  UnBoldAll();
  SetNodeBoldState(Node, true);
  auto* project = static_cast<THMRProject*>(Node->data(0, Qt::UserRole).value<void*>());
  SetSelectedHMRProject(Node->parent() ? project : nullptr);
  RefreshGrid(false);
}

void TdlgPrjRevedazl::ExecuteQuery() {
  // The grid lets go of its cells before the result they read changes.
  gridModel_->beginChange();
  ClearQueryResult(FQueryResult);
  if (!FProjectGroup) return;
  const std::int32_t groupBy = comboIndex(cmbGroupBy);
  const auto sortBy = static_cast<TSortByMode>(std::min(comboIndex(cmpSortItem), 3));
  const auto order = static_cast<TSortOrder>(std::min(comboIndex(cmpSortOrder), 1));
  if (FSelectedProject) {
    FQueryResult = FSelectedProject->ExecuteQuery(
        static_cast<TProjectGroupByMode>(std::min(groupBy, 4)), sortBy, order);
  } else {
    FQueryResult = FProjectGroup->ExecuteQuery(
        static_cast<TGroupGroupByMode>(std::min(groupBy, 5)), sortBy, order);
  }
}

// ---- the Project Info page ----------------------------------------------------------------

void TdlgPrjRevedazl::sedtIdleChange() { FProjectInfoChanged = true; }

void TdlgPrjRevedazl::sedtMinimumChange() { FProjectInfoChanged = true; }

void TdlgPrjRevedazl::PageControlChange(int index) {
  if (pageChangeByCode_) return;
  if (PageControl->widget(index) == TabProjectInfo) {
    FProjectInfoChanged = false;
    FMinimumOnEntry = sedtMinimum->value();
  } else if (FProjectInfoChanged) {
    TabProjectInfoUpdate();
  }
}

void TdlgPrjRevedazl::cmdRestDefaultClick() {
  sedtIdle->setValue(minutesShown(DefaultTimeForIdle));
  sedtMinimum->setValue(minutesShown(DefaultMinimumWorkTime));
}

void TdlgPrjRevedazl::TabProjectInfoUpdate() {
  THMRProject* project = FSelectedProject;
  if (!project) return;
  // A spin box still showing what the project gave it changes nothing: its value is the
  // project's own, rounded to whole minutes, and writing it back would change the project
  // (or ask about its minimum) without the user having asked for anything.
  if (sedtIdle->value() != FIdleShown) {
    const std::int64_t idle = std::int64_t{sedtIdle->value()} * 60;
    if (idle != project->TimeForIdle) {
      project->SetTimeForIdle(idle);
      project->Modified = true;
    }
    FIdleShown = sedtIdle->value();
  }
  if (sedtMinimum->value() == FMinimumShown) return;
  const std::int64_t minimum = std::int64_t{sedtMinimum->value()} * 60;
  if (minimum > project->MinimumWorkTime) {
    // Raising the minimum drops the recorded sessions shorter than it: ask first.
    const auto answer = QMessageBox::warning(this, "Warning", kMinimumWarning,
                                             QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) {
      sedtMinimum->setValue(FMinimumOnEntry);
      return;
    }
  }
  if (minimum != project->MinimumWorkTime) {
    project->SetMinimumWorkTime(minimum);
    project->Modified = true;
  }
  FMinimumShown = sedtMinimum->value();
}

// ---- stand-alone mode ---------------------------------------------------------------------

void TdlgPrjRevedazl::btnOpenClick() { OpenProject(""); }

void TdlgPrjRevedazl::btnCloseClick() { CloseProject(); }

void TdlgPrjRevedazl::OpenProject(const std::string& FileName) {
  std::string name = FileName;
  if (isBlank(name)) {
    QFileDialog dialog(this, "Open");
    dialog.setObjectName("OpenDialog");
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Qt's own dialog matches the filter without regard to letter case, so the tracker's
    // .HMR files show under "*.hmr" as well.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setNameFilter(text(product::DataFileFilter));
    dialog.setDefaultSuffix("hmr");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    name = dialog.selectedFiles().front().toStdString();
  }
  if (!FProjectGroup) return;
  // The data file is tracked under the very name it has.
  THMRProject* project = FProjectGroup->AddDataFile(name);
  if (!project) return;
  project->State = hmClosed;
  UpdateInterface(ulProjectGroup);
  SetBoldHMRProject(project);
}

void TdlgPrjRevedazl::CloseProject() {
  QTreeWidgetItem* node = TreeView->currentItem();
  if (!node) return;
  if (projectInfoActive()) TabProjectInfoUpdate();
  auto* project = static_cast<THMRProject*>(node->data(0, Qt::UserRole).value<void*>());
  if (node->parent() && project && FProjectGroup) {
    if (project->Modified) {
      project->SaveFile(project->FileName);
      project->Modified = false;
    }
    const std::string fileName = project->FileName;
    SetSelectedHMRProject(nullptr);
    FProjectGroup->RemoveProject(fileName);
    UpdateInterface(ulProjectGroup);
  }
  TreeView->viewport()->update();
}

// ---- user and export commands -------------------------------------------------------------

void TdlgPrjRevedazl::btnChangeUserClick() {
  if (!FProjectGroup) return;
  std::string name = edtCurrentUser->text().toStdString();
  if (ShowUserDialog(FProjectGroup->ui(), FProjectGroup->settings(), true,
                     FProjectGroup->RegistryKey, name) != 1)
    return;
  edtCurrentUser->setText(QString::fromStdString(name));
  FProjectGroup->SetUsername(name);
  RefreshGrid(true);
}

void TdlgPrjRevedazl::chkShowUserDlgClick() {
  if (!FProjectGroup) return;
  SetShowDialogKey(FProjectGroup->settings(), FProjectGroup->RegistryKey,
                   chkShowUserDlg->isChecked());
}

void TdlgPrjRevedazl::cmdExportClick() {
  if (!FProjectGroup || FProjectGroup->getProjectCount() == 0) return;
  switch (cbxExportFormat->currentIndex()) {
    case 0:
      ExportToFile(feText);
      break;
    case 1:
      ExportToFile(feCSV);
      break;
    case 2:
      ExportClipBoard();
      break;
    default:
      break;
  }
}

// ---- layout and keys ----------------------------------------------------------------------

void TdlgPrjRevedazl::ScrollBoxOpenCloseResize() {
  const int height = ScrollBoxOpenClose->height() - 2;
  const int width = std::max((ScrollBoxOpenClose->width() - 4) / 2, 55);
  btnOpen->setGeometry(0, 1, width, height);
  btnClose->setGeometry(width + 1, 1, width, height);
}

void TdlgPrjRevedazl::pnlBottonResize() {
  const int left = std::max((pnlBotton->width() - btnOk->width()) / 2, 5);
  btnOk->move(left, (pnlBotton->height() - btnOk->height()) / 2);
}

bool TdlgPrjRevedazl::grdSessionsKeyDown(int key) {
  // Left and Right page the grid sideways, as the scroll bar's page areas do; the selected
  // row stays.
  QScrollBar* bar = grdSessions->horizontalScrollBar();
  if (key == Qt::Key_Left) {
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    return true;
  }
  if (key == Qt::Key_Right) {
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    return true;
  }
  return false;
}

// ---- helpers ------------------------------------------------------------------------------

TFilterTriple& TdlgPrjRevedazl::currentFilter() {
  return FSelectedProject ? FProjectFilter : FGroupFilter;
}

bool TdlgPrjRevedazl::projectInfoActive() const {
  return PageControl->currentWidget() == TabProjectInfo;
}

void TdlgPrjRevedazl::setActivePage(QWidget* page) {
  FlagScope byCode(pageChangeByCode_);
  PageControl->setCurrentWidget(page);
}

void TdlgPrjRevedazl::setProjectInfoTabVisible(bool visible) {
  FlagScope byCode(pageChangeByCode_);
  PageControl->setTabVisible(PageControl->indexOf(TabProjectInfo), visible);
}

std::int32_t TdlgPrjRevedazl::comboIndex(const QComboBox* combo) const {
  return std::max(combo->currentIndex(), 0);  // nothing chosen counts as the first entry
}

TDispTimeUnit TdlgPrjRevedazl::chosenTimeUnit() const {
  return rbHours->isChecked() ? dtuHour : dtuMinute;
}

void TdlgPrjRevedazl::showTimeUnit(TDispTimeUnit unit) {
  (unit == dtuMinute ? rbMinutes : rbHours)->setChecked(true);
}

}  // namespace hmr
