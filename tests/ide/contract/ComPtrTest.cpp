// SPDX-License-Identifier: MIT
#include "ide/contract/ComPtr.h"

#include <gtest/gtest.h>

#include "ide/contract/ToolIntf.h"
#include "ide/contract/ToolsAPI.h"

namespace hmr {
namespace {

class Counted final : public TInterfacedObject<IInterface> {
 public:
  explicit Counted(int& destroyed) : destroyed_(destroyed) {}
  bool QueryInterface(const TGUID&, void** object) override {
    *object = nullptr;
    return false;
  }

 private:
  ~Counted() override { ++destroyed_; }
  int& destroyed_;
};

class OldStyle final : public TInterface {
 public:
  explicit OldStyle(int& destroyed) : destroyed_(destroyed) {}

 private:
  ~OldStyle() override { ++destroyed_; }
  int& destroyed_;
};

TEST(ComPtrTest, TheLastReferenceDestroysTheObject) {
  int destroyed = 0;
  ComPtr<Counted> first(new Counted(destroyed));
  EXPECT_EQ(first->refCount(), 1);
  {
    ComPtr<Counted> second = first;
    EXPECT_EQ(first->refCount(), 2);
    ComPtr<Counted> moved = std::move(second);
    EXPECT_FALSE(second);
    EXPECT_EQ(first->refCount(), 2);
  }
  EXPECT_EQ(destroyed, 0);
  first.reset();
  EXPECT_EQ(destroyed, 1);
}

TEST(ComPtrTest, OldStyleObjectsStartWithTheCreatorsReference) {
  int destroyed = 0;
  auto object = ComPtr<OldStyle>::adopt(new OldStyle(destroyed));
  ComPtr<OldStyle> copy = object;
  object.reset();
  EXPECT_EQ(destroyed, 0);
  copy.reset();
  EXPECT_EQ(destroyed, 1);
}

TEST(ComPtrTest, AQueryThatFailsGivesNull) {
  int destroyed = 0;
  ComPtr<Counted> object(new Counted(destroyed));
  EXPECT_FALSE(Supports<IOTAModule>(object.get(), IID_IOTAModule));
  EXPECT_FALSE(Supports<IOTAModule>(nullptr, IID_IOTAModule));
  EXPECT_EQ(object->refCount(), 1);  // a failed query takes no reference
}

}  // namespace
}  // namespace hmr
