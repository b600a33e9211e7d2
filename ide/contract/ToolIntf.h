// SPDX-License-Identifier: MIT
// The IDE's old-style tools interfaces: the tool services with add-in notifiers, and module
// interfaces with module notifiers, with the notification codes in value order.
//
// Old-style objects count their references themselves: the count starts at one, held by the
// creator, and the object deletes itself at its last Release. The IDE does not count the
// notifiers registered with it: a notifier must unregister itself before it goes away.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace hmr {

enum TFileNotification : std::uint8_t {
  fnFileOpening,
  fnFileOpened,
  fnFileClosing,
  fnProjectOpening,
  fnProjectOpened,
  fnProjectClosing,
  fnAddedToProject,
  fnRemovedFromProject,
  fnDefaultDesktopLoad,
  fnDefaultDesktopSave,
  fnProjectDesktopLoad,
  fnProjectDesktopSave,
  fnPackageInstalled,
  fnPackageUninstalled,
};

enum TEventNotification : std::uint8_t { enBeforeCompile, enAfterCompile };

enum TNotifyCode : std::uint8_t {
  ncModuleDeleted,
  ncModuleRenamed,
  ncEditorModified,
  ncFormModified,
  ncEditorSelected,
  ncFormSelected,
  ncBeforeSave,
  ncAfterSave,
  ncFormSaving,
  ncProjResModified,
};

class TInterface {
 public:
  TInterface() = default;
  TInterface(const TInterface&) = delete;
  TInterface& operator=(const TInterface&) = delete;

  virtual std::int32_t GetVersion() { return 3; }
  virtual std::int32_t AddRef() { return ++refCount_; }
  virtual std::int32_t Release() {
    const std::int32_t left = --refCount_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~TInterface() = default;

 private:
  std::atomic<std::int32_t> refCount_{1};
};

class TIAddInNotifier : public TInterface {
 public:
  virtual void FileNotification(TFileNotification NotifyCode, const std::string& FileName,
                                bool& Cancel) = 0;
  virtual void EventNotification(TEventNotification NotifyCode, bool& Cancel) = 0;
};

class TIModuleNotifier : public TInterface {
 public:
  virtual void Notify(TNotifyCode NotifyCode) = 0;
  virtual void ComponentRenamed(void* ComponentHandle, const std::string& OldName,
                                const std::string& NewName) = 0;
};

// An open file as the old-style services see it. It may outlive the file's closing; it then
// accepts nothing.
class TIModuleInterface : public TInterface {
 public:
  virtual bool AddNotifier(TIModuleNotifier* Notifier) = 0;
  virtual bool RemoveNotifier(TIModuleNotifier* Notifier) = 0;
};

class TIToolServices : public TInterface {
 public:
  // Whether the IDE accepted the notifier.
  virtual bool AddNotifier(TIAddInNotifier* AddInNotifier) = 0;
  virtual bool RemoveNotifier(TIAddInNotifier* AddInNotifier) = 0;
  // The module interface of an open file with a reference for the caller, or null.
  virtual TIModuleInterface* GetModuleInterface(const std::string& FileName) = 0;
};

}  // namespace hmr
