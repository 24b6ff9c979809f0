#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "ZelComponent.h"
#include "ZelMethodList.h"

namespace {

using Log = std::vector<std::string>;

struct Target {
  Target(std::string targetName, Log& targetLog) : name(std::move(targetName)), log(targetLog) {}
  virtual ~Target() = default;
  virtual void Virtual() { log.push_back(name + ".Virtual"); }
  void Plain() { log.push_back(name + ".Plain"); }
  std::string name;
  Log& log;
};

struct Derived : Target {
  using Target::Target;
  void Virtual() override { log.push_back(name + ".Derived"); }
};

// A handler that removes another entry (or itself) from the list it runs in.
struct Remover {
  TZelMethodList* list = nullptr;
  quill::TZelMethod victim;
  int calls = 0;
  void Run() {
    ++calls;
    list->Remove(victim);
  }
};

struct Thrower {
  void Throw() { throw std::runtime_error("boom"); }
};

// A component that logs its destruction.
struct Part : quill::TZelComponent {
  Part(quill::TZelComponent* owner, std::string partName, Log& partLog)
      : quill::TZelComponent(owner), name(std::move(partName)), log(partLog) {}
  ~Part() override { log.push_back("free " + name); }
  void AfterConstruction() override { log.push_back("after " + name); }
  std::string name;
  Log& log;
};

}  // namespace

TEST(Method, CallsAndComparesByObjectAndMember) {
  Log log;
  Derived a("a", log);
  Target b("b", log);
  const quill::TZelMethod aVirtual(&a, &Target::Virtual);
  aVirtual();
  quill::TZelMethod(&b, &Target::Plain)();
  EXPECT_EQ(log, (Log{"a.Derived", "b.Plain"}));
  EXPECT_TRUE(aVirtual == quill::TZelMethod(static_cast<Target*>(&a), &Target::Virtual));
  EXPECT_FALSE(aVirtual == quill::TZelMethod(&b, &Target::Virtual));
  EXPECT_FALSE(aVirtual == quill::TZelMethod(&a, &Target::Plain));
  EXPECT_FALSE(quill::TZelMethod().IsAssigned());
  quill::TZelMethod()();  // an unassigned method does nothing
}

TEST(MethodList, RemovesTheLastEqualEntry) {
  Log log;
  Target a("a", log);
  Target b("b", log);
  TZelMethodList list;
  EXPECT_EQ(list.Add(quill::TZelMethod(&a, &Target::Plain)), 0);
  EXPECT_EQ(list.Add(quill::TZelMethod(&b, &Target::Plain)), 1);
  EXPECT_EQ(list.Add(quill::TZelMethod(&a, &Target::Plain)), 2);
  EXPECT_EQ(list.Remove(quill::TZelMethod(&a, &Target::Plain)), 2);
  EXPECT_EQ(list.Remove(quill::TZelMethod(&a, &Target::Virtual)), -1);
  list.CallAll();
  EXPECT_EQ(log, (Log{"a.Plain", "b.Plain"}));
  list.Delete(7);
  list.Delete(0);
  EXPECT_EQ(list.GetCount(), 1);
  EXPECT_TRUE(list.GetMethod(0) == quill::TZelMethod(&b, &Target::Plain));
  EXPECT_FALSE(list.GetMethod(1).IsAssigned());
}

TEST(MethodList, AWalkSkipsEntriesRemovedDuringItAndWaitsForNewOnes) {
  Log log;
  Target a("a", log);
  Target b("b", log);
  TZelMethodList list;
  Remover remover{&list, quill::TZelMethod(&b, &Target::Plain)};
  list.Add(quill::TZelMethod(&remover, &Remover::Run));
  list.Add(quill::TZelMethod(&a, &Target::Plain));
  list.Add(quill::TZelMethod(&b, &Target::Plain));
  list.CallAll();
  EXPECT_EQ(log, (Log{"a.Plain"}));

  Remover self{&list, {}};
  self.victim = quill::TZelMethod(&self, &Remover::Run);
  list.Add(self.victim);
  list.Add(quill::TZelMethod(&b, &Target::Virtual));
  log.clear();
  list.CallAll();
  list.CallAll();
  EXPECT_EQ(self.calls, 1);
  EXPECT_EQ(log, (Log{"a.Plain", "b.Virtual", "a.Plain", "b.Virtual"}));
}

TEST(MethodList, CallFirstAndDeleteDeletesTheCalledEntryEvenWhenItThrows) {
  Log log;
  Target a("a", log);
  Thrower thrower;
  TZelMethodList list;
  EXPECT_FALSE(list.CallFirstAndDelete());
  list.Add(quill::TZelMethod(&thrower, &Thrower::Throw));
  list.Add(quill::TZelMethod(&a, &Target::Plain));
  EXPECT_THROW(list.CallFirstAndDelete(), std::runtime_error);
  EXPECT_EQ(list.GetCount(), 1);
  // A call that removes itself leaves the next entry in place.
  Remover self{&list, {}};
  self.victim = quill::TZelMethod(&self, &Remover::Run);
  TZelMethodList queue;
  self.list = &queue;
  queue.Add(self.victim);
  queue.Add(quill::TZelMethod(&a, &Target::Plain));
  EXPECT_TRUE(queue.CallFirstAndDelete());
  EXPECT_EQ(queue.GetCount(), 1);
  EXPECT_TRUE(queue.GetMethod(0) == quill::TZelMethod(&a, &Target::Plain));
}

TEST(Component, FreesOwnedComponentsInReverseCreationOrder) {
  Log log;
  {
    Part owner(nullptr, "owner", log);
    Part* first = quill::ZelCreate<Part>(&owner, "first", log);
    quill::ZelCreate<Part>(&owner, "second", log);
    quill::ZelCreate<Part>(first, "child", log);
    auto* third = quill::ZelCreate<Part>(&owner, "third", log);
    ASSERT_EQ(owner.GetComponentCount(), 3);
    EXPECT_EQ(owner.GetComponent(0), first);
    EXPECT_EQ(owner.GetComponent(3), nullptr);
    delete third;  // leaves its owner's list
    EXPECT_EQ(owner.GetComponentCount(), 2);
    EXPECT_EQ(owner.GetComponent(1)->GetOwner(), &owner);

    TZelMethodList list;  // a component's entries can be withdrawn together
    list.Add(quill::TZelMethod(first, &Part::DestroyComponents));
    list.Add(quill::TZelMethod(&owner, &Part::DestroyComponents));
    list.Add(quill::TZelMethod(first, &Part::DestroyComponents));
    EXPECT_EQ(list.RemoveComponent(first), 2);
    EXPECT_EQ(list.GetMethod(0).GetComponent(), &owner);
  }
  EXPECT_EQ(log, (Log{"after first", "after second", "after child", "after third", "free third",
                      "free owner", "free second", "free first", "free child"}));
}
