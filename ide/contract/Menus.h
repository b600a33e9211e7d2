// SPDX-License-Identifier: MIT
// The menu components of the IDE's form toolkit, as far as the tracker uses them: a menu item
// with a caption, a component name, a click handler and child items, and the main menu whose
// top-level items are the children of its root item.
//
// Children are not owned: whoever creates an item destroys it. An item still standing in a
// parent when it is destroyed takes itself out first, so a parent never lists a dead item.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/HmrError.h"

namespace hmr {

// The component name of the View menu among the main menu's top-level items.
inline constexpr const char* ViewsMenuName = "ViewsMenu";

class TMenuItem {
 public:
  using TNotifyEvent = std::function<void(TMenuItem* Sender)>;

  TMenuItem() = default;
  virtual ~TMenuItem() {
    if (Parent) Parent->Remove(this);
    for (TMenuItem* child : children_) child->Parent = nullptr;
  }
  TMenuItem(const TMenuItem&) = delete;
  TMenuItem& operator=(const TMenuItem&) = delete;

  std::int32_t Count() const { return static_cast<std::int32_t>(children_.size()); }
  // The child at Index; fails outside 0..Count-1.
  TMenuItem* Items(std::int32_t Index) const {
    if (Index < 0 || Index >= Count()) throw HmrError("Menu index out of bounds");
    return children_[static_cast<std::size_t>(Index)];
  }
  // Puts `item` at Index (0..Count), moving the children from Index on down by one.
  void Insert(std::int32_t Index, TMenuItem* item) {
    if (!item || item->Parent) throw HmrError("Menu inserted twice");
    if (Index < 0 || Index > Count()) throw HmrError("Menu index out of bounds");
    children_.insert(children_.begin() + Index, item);
    item->Parent = this;
  }
  // Position of `item` among the children, -1 when it is not one of them.
  std::int32_t IndexOf(const TMenuItem* item) const {
    const auto found = std::find(children_.begin(), children_.end(), item);
    return found == children_.end() ? -1 : static_cast<std::int32_t>(found - children_.begin());
  }
  // Takes the child at Index out without destroying it.
  void Delete(std::int32_t Index) {
    TMenuItem* child = Items(Index);
    children_.erase(children_.begin() + Index);
    child->Parent = nullptr;
  }
  // Takes `item` out when it is a child; otherwise nothing.
  void Remove(TMenuItem* item) {
    const std::int32_t index = IndexOf(item);
    if (index >= 0) Delete(index);
  }
  // What the toolkit does when the user chooses the item.
  virtual void Click() {
    if (OnClick) OnClick(this);
  }

  std::string Caption;
  std::string Name;  // the component name
  TNotifyEvent OnClick;
  TMenuItem* Parent = nullptr;

 private:
  std::vector<TMenuItem*> children_;
};

class TMainMenu {
 public:
  // The root item; its children are the menu bar's top-level items.
  TMenuItem& Items() { return items_; }

 private:
  TMenuItem items_;
};

}  // namespace hmr
