// SPDX-License-Identifier: MIT
// The IDE's open tools interfaces (new style) as the tracker uses them: reference-counted
// interfaces reached from BorlandIDEServices by interface query. The IDE implements the
// services and modules; the package implements the notifiers and the wizard.
//
// Strings are UTF-8 file names exactly as the IDE spells them. Every operation returning an
// interface hands the caller a reference of its own (a ComPtr). Every call arrives on the
// IDE's one user-interface thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "ide/contract/ComPtr.h"

namespace hmr {

// An interface identity. Two interfaces of the same name in two IDE versions may carry two
// identities (the project interface does), so queries go by identity, never by C++ type.
struct TGUID {
  std::uint32_t D1;
  std::uint16_t D2, D3;
  std::uint8_t D4[8];
  friend bool operator==(const TGUID&, const TGUID&) = default;
};

inline constexpr TGUID IID_IInterface = {0x00000000, 0x0000, 0x0000,
                                         {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr TGUID IID_IOTANotifier = {0xF17A7BCF, 0xE07D, 0x11D1,
                                           {0xAB, 0x0B, 0x00, 0xC0, 0x4F, 0xB1, 0x6F, 0xB3}};
inline constexpr TGUID IID_IOTAWizard = {0xB75C0CE0, 0xEEA6, 0x11D1,
                                         {0x95, 0x04, 0x00, 0x60, 0x8C, 0xCB, 0xF1, 0x53}};
inline constexpr TGUID IID_IOTAModuleNotifier = {0xF17A7BCE, 0xE07D, 0x11D1,
                                                 {0xAB, 0x0B, 0x00, 0xC0, 0x4F, 0xB1, 0x6F, 0xB3}};
inline constexpr TGUID IID_IOTAModule = {0xF17A7BCC, 0xE07D, 0x11D1,
                                         {0xAB, 0x0B, 0x00, 0xC0, 0x4F, 0xB1, 0x6F, 0xB3}};
inline constexpr TGUID IID_IOTAProjectGroup = {0xF17A7BD3, 0xE07D, 0x11D1,
                                               {0xAB, 0x0B, 0x00, 0xC0, 0x4F, 0xB1, 0x6F, 0xB3}};
// The project interface of each IDE version: same name, two identities. The package asks for
// the one of the IDE it is built for (IdeBuild.h); the stand-in IDE answers the one of the
// version it plays.
inline constexpr TGUID IID_IOTAProject_Delphi5 = {
    0xF17A7BCA, 0xE07D, 0x11D1, {0xAB, 0x0B, 0x00, 0xC0, 0x4F, 0xB1, 0x6F, 0xB3}};
inline constexpr TGUID IID_IOTAProject_Delphi4 = {
    0xF17A7BCA, 0xE07D, 0x11D1, {0xAB, 0x0B, 0x00, 0xC0, 0x4F, 0xB1, 0x6F, 0xB4}};
inline constexpr TGUID IID_IOTAModuleServices = {0xF17A7BCD, 0xE07D, 0x11D1,
                                                 {0xAB, 0x0B, 0x00, 0xC0, 0x4F, 0xB1, 0x6F, 0xB3}};
inline constexpr TGUID IID_INTAServices = {0xC17B3DF1, 0xDFE5, 0x11D2,
                                           {0xA8, 0xC7, 0x00, 0xC0, 0x4F, 0xA3, 0x2F, 0x53}};

// The base of every new-style interface.
class IInterface {
 public:
  virtual ~IInterface() = default;
  // On success *object holds a new reference to the interface `iid` of this object.
  virtual bool QueryInterface(const TGUID& iid, void** object) = 0;
  virtual std::int32_t AddRef() = 0;
  virtual std::int32_t Release() = 0;
};

// The interface `iid` of `object` as T, with a reference of its own, or null.
template <class T>
ComPtr<T> Supports(IInterface* object, const TGUID& iid) {
  void* found = nullptr;
  if (!object || !object->QueryInterface(iid, &found) || !found) return {};
  return ComPtr<T>::adopt(static_cast<T*>(found));
}

class IOTANotifier : public IInterface {
 public:
  virtual void AfterSave() = 0;
  virtual void BeforeSave() = 0;
  virtual void Destroyed() = 0;
  virtual void Modified() = 0;
};

enum TWizardStateItem : std::uint8_t { wsEnabled, wsChecked };
// A set of TWizardStateItem, one bit per item.
using TWizardState = std::uint8_t;
constexpr TWizardState wizardStateOf(TWizardStateItem item) {
  return static_cast<TWizardState>(1u << item);
}

class IOTAWizard : public IOTANotifier {
 public:
  virtual std::string GetIDString() = 0;
  virtual std::string GetName() = 0;
  virtual TWizardState GetState() = 0;
  virtual void Execute() = 0;
};

class IOTAModuleNotifier : public IOTANotifier {
 public:
  virtual bool CheckOverwrite() = 0;
  virtual void ModuleRenamed(const std::string& NewName) = 0;
};

class IOTAProject;

// An open file or project of the IDE.
class IOTAModule : public IInterface {
 public:
  virtual std::string GetFileName() = 0;
  // The projects that contain this module.
  virtual std::int32_t GetOwnerCount() = 0;
  virtual ComPtr<IOTAProject> GetOwner(std::int32_t Index) = 0;
  // Attaches `notifier` (the module holds a reference until RemoveNotifier or until it is
  // destroyed, when it calls Destroyed first). Returns the notifier's index, negative when the
  // module refuses it.
  virtual std::int32_t AddNotifier(IOTAModuleNotifier* notifier) = 0;
  // Detaches the notifier with that index and releases the module's reference. An unknown
  // index is ignored.
  virtual void RemoveNotifier(std::int32_t Index) = 0;
};

class IOTAProject : public IOTAModule {};

class IOTAProjectGroup : public IOTAModule {
 public:
  // The project the IDE treats as active, or null.
  virtual ComPtr<IOTAProject> GetActiveProject() = 0;
};

class IOTAModuleServices : public IInterface {
 public:
  virtual std::int32_t GetModuleCount() = 0;
  virtual ComPtr<IOTAModule> GetModule(std::int32_t Index) = 0;
  // The open module of that file (the IDE's own comparison of names), or null.
  virtual ComPtr<IOTAModule> FindModule(const std::string& FileName) = 0;
  // The module the user works in, or null.
  virtual ComPtr<IOTAModule> CurrentModule() = 0;
};

class TMainMenu;

class INTAServices : public IInterface {
 public:
  virtual TMainMenu* GetMainMenu() = 0;
};

// The IDE's services, queried for IOTAModuleServices and INTAServices.
class IBorlandIDEServices : public IInterface {};

// Reference counting for the objects that implement these interfaces: the count starts at 0
// and the object deletes itself at its last Release, as the IDE's interfaced objects do.
template <class... Interfaces>
class TInterfacedObject : public Interfaces... {
 public:
  std::int32_t AddRef() override { return ++refCount_; }
  std::int32_t Release() override {
    const std::int32_t left = --refCount_;
    if (left == 0) delete this;
    return left;
  }
  std::int32_t refCount() const { return refCount_; }

 protected:
  virtual ~TInterfacedObject() = default;

 private:
  std::atomic<std::int32_t> refCount_{0};
};

}  // namespace hmr
