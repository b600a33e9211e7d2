// SPDX-License-Identifier: MIT
#include "ide/crvIDEMenuItem.h"

#include <gtest/gtest.h>

#include "ide/PackageHost.h"
#include "tests/support/StandInIdeFixture.h"

namespace hmr::ide_test {
namespace {

// The menu item on its own, with the IDE attached as the package's host but no package.
using MenuItemTest = HostedIdeFixture;

TEST_F(MenuItemTest, FindMainMenuItemIgnoresLetterCaseAndLooksOnlyAtTheTopLevel) {
  EXPECT_EQ(FindMainMenuItem("viewsMENU"), ide->viewsMenu());
  EXPECT_EQ(FindMainMenuItem("ViewPrjMgrItem"), nullptr);  // a child of the View menu
  EXPECT_EQ(FindMainMenuItem("NoSuchMenu"), nullptr);
}

TEST_F(MenuItemTest, AnItemWithAParentNameGoesIntoThatMenuAndLeavesItAgain) {
  const std::int32_t before = ide->viewsMenu()->Count();
  {
    TIDEMenuItem item("ViewsMenu", 2);
    EXPECT_EQ(ide->viewsMenu()->IndexOf(&item), 2);
    EXPECT_EQ(item.parentItem(), ide->viewsMenu());
    EXPECT_FALSE(item.topLevel());
  }
  EXPECT_EQ(ide->viewsMenu()->Count(), before);
}

TEST_F(MenuItemTest, AnItemWithAnEmptyParentNameSitsInTheTopLevelAndIsRemovedFromThere) {
  TMenuItem& top = ide->mainMenu().Items();
  const std::int32_t before = top.Count();
  {
    TIDEMenuItem item("", 1);
    EXPECT_TRUE(item.topLevel());
    EXPECT_EQ(item.parentItem(), nullptr);
    EXPECT_EQ(top.IndexOf(&item), 1);
  }
  EXPECT_EQ(top.Count(), before);
}

TEST_F(MenuItemTest, AnItemItsParentNoLongerListsIsNotDeletedFromTheParent) {
  TMenuItem* view = ide->viewsMenu();
  auto item = std::make_unique<TIDEMenuItem>("ViewsMenu", 0);
  view->Delete(0);  // someone else took it out
  ASSERT_EQ(view->IndexOf(item.get()), -1);
  const TMenuItem* firstBefore = view->Items(0);
  const std::int32_t before = view->Count();
  item.reset();
  EXPECT_EQ(view->Count(), before);
  EXPECT_EQ(view->Items(0), firstBefore);
}

TEST_F(MenuItemTest, AMissingParentFailsAndLeavesTheItemInNoMenu) {
  try {
    TIDEMenuItem item("HelpMenuX", 0);
    FAIL() << "no error";
  } catch (const HmrError& e) {
    EXPECT_STREQ(e.what(), "Cannot find menu item, HelpMenuX");
  }
}

TEST_F(MenuItemTest, AnIndexBeyondTheParentsChildrenFails) {
  EXPECT_THROW(TIDEMenuItem("ViewsMenu", 99), HmrError);
  EXPECT_EQ(ide->viewsMenu()->Count(), 7);
}

TEST_F(MenuItemTest, WithoutAnIdeThereIsNoMainMenu) {
  setPackageHost(nullptr);
  EXPECT_EQ(IDEMainMenu(), nullptr);
  EXPECT_EQ(FindMainMenuItem("ViewsMenu"), nullptr);
  EXPECT_THROW(TIDEMenuItem("", 0), HmrError);
}

}  // namespace
}  // namespace hmr::ide_test
