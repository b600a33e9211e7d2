// SPDX-License-Identifier: MIT
// The IDE's notifier with its four operations doing nothing: the base of the wizard and of the
// new-style module notifier, each of which adds the interface it implements. Reference
// counted as the IDE's interfaced objects are: the last Release deletes it.
#pragma once

#include "ide/contract/ToolsAPI.h"

namespace hmr {

template <class Interface = IOTANotifier>
class TBaseNotifier : public TInterfacedObject<Interface> {
 public:
  void AfterSave() override {}
  void BeforeSave() override {}
  void Destroyed() override {}
  void Modified() override {}

  bool QueryInterface(const TGUID& iid, void** object) override {
    if (iid == IID_IInterface || iid == IID_IOTANotifier) {
      *object = static_cast<IOTANotifier*>(this);
      this->AddRef();
      return true;
    }
    *object = nullptr;
    return false;
  }
};

}  // namespace hmr
