#include "chrome/installer/norvel/util/application_association_registration_internal.h"

#include <windows.h>

#include <objbase.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/fake_system_facts.h"
#include "test/support/platform_log_capture.h"

namespace installer::win10_default_browser {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The identifiers the system is asked for, in the order it must be asked.
const std::vector<std::string> kRegistrationIids = {
    "{2A848E25-D688-4AA3-8E55-0C16CB3A2DFB}",
    "{FC0BE3A5-6BE4-423C-B287-248934E379C7}",
    "{14EBCC88-2831-4FC8-A5DF-9F36A81DB12C}",
    "{1C5C9D10-1225-4C97-8C51-98E1B6F0D4E0}",
    "{229D59E2-F94A-402E-9A9F-3B84A1ACED77}",
};
constexpr char kSetAppAsDefaultIid[] = "{B00DC47B-BFF4-4318-BE5B-A5856F9169A2}";
constexpr char kEnumAssocHandlersIid[] =
    "{973810AE-9599-4B88-9E4D-6EE98C9552DA}";
constexpr char kMakeDefaultIid[] = "{CA635855-B44E-4541-9591-9FAA53354A53}";

std::string GuidText(REFGUID guid) {
  wchar_t text[40];
  ::StringFromGUID2(guid, text, 40);
  return std::string(text, text + wcslen(text));
}

// Every fake object of one test. The test owns their memory; the code under
// test only holds references, which must all come back.
struct ObjectArena {
  template <typename T>
  T* Make() {
    auto object = std::make_shared<T>();
    object->arena = this;
    objects.push_back(object);
    return object.get();
  }

  long outstanding = 0;  // references taken and not given back
  std::vector<std::shared_ptr<void>> objects;
};

template <typename Interface>
class Counted : public Interface {
 public:
  ULONG STDMETHODCALLTYPE AddRef() override { return ++arena->outstanding; }
  ULONG STDMETHODCALLTYPE Release() override { return --arena->outstanding; }
  // A new reference for an out-parameter.
  Interface* Hand() {
    AddRef();
    return this;
  }

  ObjectArena* arena = nullptr;
};

// An object that answers only IUnknown.
class PlainObject final : public Counted<IUnknown> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
};

// The internal registration object; it may be asked for
// ISetAppAsDefaultBrowserInternal.
class FakeRegistration final : public Counted<IUnknown> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    queried.push_back(GuidText(iid));
    if (GuidText(iid) != kSetAppAsDefaultIid)
      return E_NOINTERFACE;
    if (FAILED(set_as_default_hr))
      return set_as_default_hr;
    *out = arena->Make<PlainObject>()->Hand();
    return S_OK;
  }

  HRESULT set_as_default_hr = S_OK;
  std::vector<std::string> queried;
};

struct HandlerPlan {
  HRESULT ui_name_hr = S_OK;
  HRESULT make_default_hr = S_OK;
};

class FakeHandler final : public Counted<IAssocHandler> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (GuidText(iid) != kMakeDefaultIid)
      return E_NOINTERFACE;
    asked_for_make_default = true;
    if (FAILED(plan.make_default_hr))
      return plan.make_default_hr;
    *out = arena->Make<PlainObject>()->Hand();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetName(LPWSTR* name) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetUIName(LPWSTR* name) override {
    *name = nullptr;
    if (FAILED(plan.ui_name_hr))
      return plan.ui_name_hr;
    static const wchar_t kName[] = L"Some Browser";
    *name = static_cast<wchar_t*>(::CoTaskMemAlloc(sizeof(kName)));
    memcpy(*name, kName, sizeof(kName));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIconLocation(LPWSTR*, int*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE IsRecommended() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE MakeDefault(LPCWSTR) override {
    made_default = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(IDataObject*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateInvoker(IDataObject*,
                                          IAssocHandlerInvoker**) override {
    return E_NOTIMPL;
  }

  HandlerPlan plan;
  bool asked_for_make_default = false;
  bool made_default = false;
};

// One enumeration: how it is created, what Next answers.
struct EnumPlan {
  HRESULT create_hr = S_OK;
  HRESULT next_hr = S_OK;  // a failure is answered by every Next
  std::vector<HandlerPlan> handlers = {HandlerPlan()};
};

class FakeEnum final : public Counted<IEnumAssocHandlers> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count,
                                 IAssocHandler** handlers,
                                 ULONG* fetched) override {
    *fetched = 0;
    if (FAILED(next_hr))
      return next_hr;
    if (count == 0 || next_ == items.size())
      return S_FALSE;
    handlers[0] = items[next_++]->Hand();
    *fetched = 1;
    return count == 1 ? S_OK : S_FALSE;
  }

  HRESULT next_hr = S_OK;
  std::vector<FakeHandler*> items;

 private:
  size_t next_ = 0;
};

// The shell: each registration identifier fails with E_NOINTERFACE unless
// the test makes it succeed; each enumeration succeeds with one usable
// handler unless the test says otherwise. Records the calls made.
class FakeShell : public ShellAssociations {
 public:
  HRESULT CreateAssociationRegistration(REFIID iid,
                                        void** object) const override {
    *object = nullptr;
    calls.push_back("create " + GuidText(iid));
    auto it = registrations.find(GuidText(iid));
    if (it == registrations.end())
      return E_NOINTERFACE;
    *object = it->second->Hand();
    return S_OK;
  }
  HRESULT EnumHandlersForProtocolByApplication(
      const wchar_t* protocol,
      REFIID iid,
      void** enumerator) const override {
    *enumerator = nullptr;
    const std::string name(protocol, protocol + wcslen(protocol));
    calls.push_back("protocol " + name + " " + GuidText(iid));
    return MakeEnum(name, reinterpret_cast<IEnumAssocHandlers**>(enumerator));
  }
  HRESULT EnumHandlers(const wchar_t* extension,
                       ASSOC_FILTER filter,
                       IEnumAssocHandlers** enumerator) const override {
    *enumerator = nullptr;
    const std::string name(extension, extension + wcslen(extension));
    calls.push_back("extension " + name + " filter " +
                    std::to_string(static_cast<int>(filter)));
    return MakeEnum(name, enumerator);
  }

  // Makes the identifier at `index` of kRegistrationIids succeed.
  FakeRegistration* Accept(size_t index) {
    FakeRegistration* registration = arena.Make<FakeRegistration>();
    registrations[kRegistrationIids[index]] = registration;
    return registration;
  }

  mutable ObjectArena arena;
  std::map<std::string, FakeRegistration*> registrations;
  std::map<std::string, EnumPlan> enums;       // by protocol or extension
  mutable std::vector<FakeHandler*> handlers;  // every one handed out
  mutable std::vector<std::string> calls;

 private:
  HRESULT MakeEnum(const std::string& name,
                   IEnumAssocHandlers** enumerator) const {
    auto it = enums.find(name);
    const EnumPlan plan = it == enums.end() ? EnumPlan() : it->second;
    if (FAILED(plan.create_hr))
      return plan.create_hr;
    FakeEnum* fake = arena.Make<FakeEnum>();
    fake->next_hr = plan.next_hr;
    for (const HandlerPlan& handler_plan : plan.handlers) {
      FakeHandler* handler = arena.Make<FakeHandler>();
      handler->plan = handler_plan;
      fake->items.push_back(handler);
      handlers.push_back(handler);
    }
    *enumerator = fake->Hand();
    return S_OK;
  }
};

// The calls of a complete generation-1 check.
std::vector<std::string> FullEnumerationCalls() {
  return {std::string("protocol http ") + kEnumAssocHandlersIid,
          std::string("protocol https ") + kEnumAssocHandlersIid,
          "extension .htm filter 0", "extension .html filter 0"};
}

class CheckInternalInterfaceTest : public testing::Test {
 protected:
  CheckInternalInterfaceTest() { facts_.SetWindowsVersion(10, 0, 16299); }

  // The calls after the registration was created.
  std::vector<std::string> EnumerationCalls() const {
    std::vector<std::string> calls;
    for (const std::string& call : shell_.calls) {
      if (!call.starts_with("create "))
        calls.push_back(call);
    }
    return calls;
  }
  std::vector<std::string> ErrorLines() const {
    std::vector<std::string> errors;
    for (const std::string& line : platform_log_.Lines()) {
      if (line.starts_with("ERROR: "))
        errors.push_back(line.substr(7));
    }
    return errors;
  }

  test::FakeSystemFacts facts_;
  test::ScopedPlatformLogCapture platform_log_;
  FakeShell shell_;
};

TEST_F(CheckInternalInterfaceTest,
       FirstCreatedIdentifierWinsWithItsGeneration) {
  // Identifiers 1 and 2 name generation 1, which is checked further; 3 to 5
  // name generation 0, usable as it is.
  const bool kGenerationOne[] = {true, true, false, false, false};
  for (size_t winner = 0; winner < kRegistrationIids.size(); ++winner) {
    SCOPED_TRACE("identifier " + std::to_string(winner + 1));
    FakeShell shell;
    shell.Accept(winner);
    // A later identifier that would also work is never asked for.
    if (winner + 1 < kRegistrationIids.size())
      shell.Accept(winner + 1);
    test::ScopedPlatformLogCapture log;

    EXPECT_TRUE(CheckInternalInterface(shell));

    std::vector<std::string> expected;
    std::vector<std::string> expected_log;
    for (size_t i = 0; i < winner; ++i) {
      expected.push_back("create " + kRegistrationIids[i]);
      expected_log.push_back(
          "VERBOSE: IApplicationAssociationRegistrationInternal creation is "
          "failed, hr=80004002, guid= " +
          kRegistrationIids[i].substr(1, 8));
    }
    expected.push_back("create " + kRegistrationIids[winner]);
    expected_log.push_back(
        "VERBOSE: IApplicationAssociationRegistrationInternal creation is "
        "succeeded by " +
        kRegistrationIids[winner].substr(1, 8));
    if (kGenerationOne[winner]) {
      for (const std::string& call : FullEnumerationCalls())
        expected.push_back(call);
    }
    EXPECT_EQ(expected, shell.calls);
    EXPECT_EQ(expected_log, log.Lines());
    const auto& queried =
        shell.registrations[kRegistrationIids[winner]]->queried;
    if (kGenerationOne[winner])
      EXPECT_THAT(queried, ElementsAre(kSetAppAsDefaultIid));
    else
      EXPECT_THAT(queried, IsEmpty());
    // Only checked: nothing is made default.
    for (const FakeHandler* handler : shell.handlers)
      EXPECT_FALSE(handler->made_default);
    EXPECT_EQ(0, shell.arena.outstanding);
  }
}

TEST_F(CheckInternalInterfaceTest, NoIdentifierKnownIsAnUnsupportedVersion) {
  EXPECT_FALSE(CheckInternalInterface(shell_));
  EXPECT_EQ(5u, shell_.calls.size());
  EXPECT_THAT(EnumerationCalls(), IsEmpty());
  EXPECT_THAT(ErrorLines(), ElementsAre("Unsupported Win10 version=7"));
}

// A generation-1 object whose check fails at one point: the check stops
// there with that point's report, having released everything.
struct FailurePoint {
  const char* name;
  void (*arrange)(FakeShell* shell, FakeRegistration* registration);
  const char* report;
  size_t enumeration_calls;  // made before stopping
};

const FailurePoint kFailurePoints[] = {
    {"set-as-default interface missing",
     [](FakeShell*, FakeRegistration* registration) {
       registration->set_as_default_hr = E_NOINTERFACE;
     },
     "QueryInterface(ISetAppAsDefaultBrowserInternal) error, hr=80004002", 0},
    {"http enumeration not created",
     [](FakeShell* shell, FakeRegistration*) {
       shell->enums["http"].create_hr =
           HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
     },
     "SHAssocEnumHandlersForProtocolByApplication error, hr=8007007F "
     "protocol=http",
     1},
    {"https enumeration not created",
     [](FakeShell* shell, FakeRegistration*) {
       shell->enums["https"].create_hr = E_FAIL;
     },
     "SHAssocEnumHandlersForProtocolByApplication error, hr=80004005 "
     "protocol=https",
     2},
    {".htm enumeration not created",
     [](FakeShell* shell, FakeRegistration*) {
       shell->enums[".htm"].create_hr = E_OUTOFMEMORY;
     },
     "SHAssocEnumHandlers error, hr=8007000E extension=.htm", 3},
    {".html enumeration not created",
     [](FakeShell* shell, FakeRegistration*) {
       shell->enums[".html"].create_hr = E_INVALIDARG;
     },
     "SHAssocEnumHandlers error, hr=80070057 extension=.html", 4},
    {"Next fails",
     [](FakeShell* shell, FakeRegistration*) {
       shell->enums["http"].next_hr = E_NOTIMPL;
     },
     "IEnumAssocHandlers::Next error, hr=80004001, failed to find ", 1},
    {"no handler at all",
     [](FakeShell* shell, FakeRegistration*) {
       shell->enums[".html"].handlers.clear();
     },
     "IEnumAssocHandlers::Next error, hr=00000001, failed to find ", 4},
    {"handler cannot be made default",
     [](FakeShell* shell, FakeRegistration*) {
       // The first named handler decides; the second is not tried.
       shell->enums["https"].handlers = {{S_OK, E_NOINTERFACE}, {}};
     },
     "QueryInterface(IAssocHandlerMakeDefault) error, hr=80004002", 2},
};

TEST_F(CheckInternalInterfaceTest, EachFailureStopsWithItsReport) {
  for (const FailurePoint& point : kFailurePoints) {
    SCOPED_TRACE(point.name);
    FakeShell shell;
    point.arrange(&shell, shell.Accept(1));
    test::ScopedPlatformLogCapture log;

    EXPECT_FALSE(CheckInternalInterface(shell));

    std::vector<std::string> errors;
    for (const std::string& line : log.Lines()) {
      if (line.starts_with("ERROR: "))
        errors.push_back(line.substr(7));
    }
    EXPECT_THAT(errors, ElementsAre(point.report));
    const std::vector<std::string> all = FullEnumerationCalls();
    EXPECT_EQ(
        std::vector<std::string>(all.begin(),
                                 all.begin() + point.enumeration_calls),
        std::vector<std::string>(shell.calls.begin() + 2, shell.calls.end()));
    EXPECT_EQ(0, shell.arena.outstanding);
  }
}

TEST_F(CheckInternalInterfaceTest, UnnamedHandlerIsSkippedForTheNext) {
  shell_.Accept(0);
  shell_.enums["http"].handlers = {{E_FAIL, S_OK}, {S_OK, S_OK}};

  EXPECT_TRUE(CheckInternalInterface(shell_));

  EXPECT_THAT(ErrorLines(),
              ElementsAre("IAssocHandler::GetUIName error, hr=80004005, "
                          "failed to find "));
  ASSERT_GE(shell_.handlers.size(), 2u);
  EXPECT_FALSE(shell_.handlers[0]->asked_for_make_default);
  EXPECT_TRUE(shell_.handlers[1]->asked_for_make_default);
  EXPECT_EQ(FullEnumerationCalls(), EnumerationCalls());
  EXPECT_EQ(0, shell_.arena.outstanding);
}

// The system's shell under Wine 8: no internal registration object at all.
TEST_F(CheckInternalInterfaceTest, WineShellHasNoInternalInterface) {
  facts_.SetWindowsVersion(10, 0, 18362);

  EXPECT_FALSE(CheckInternalInterface());

  std::vector<std::string> expected;
  for (const std::string& iid : kRegistrationIids) {
    expected.push_back(
        "VERBOSE: IApplicationAssociationRegistrationInternal creation is "
        "failed, hr=80004002, guid= " +
        iid.substr(1, 8));
  }
  expected.push_back("ERROR: Unsupported Win10 version=7");
  EXPECT_EQ(expected, platform_log_.Lines());
}

}  // namespace
}  // namespace installer::win10_default_browser
