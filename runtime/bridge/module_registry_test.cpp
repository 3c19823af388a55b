#include "bridge/module_registry.h"

#include <gtest/gtest.h>

#include "bridge/testing/recording_form.h"
#include "bridge/testing/test_module.h"

namespace nxr {
namespace {

using testing::RecordingForm;
using testing::TestModule;

TEST(ModuleRegistry, AnExistingNameIsNeverReplaced) {
  ModuleRegistry registry;
  TestModule plugin(u"nxr.Application"), builtIn(u"nxr.Application");
  EXPECT_TRUE(registry.registerModule(u"nxr.Application", &plugin));
  EXPECT_FALSE(registry.registerModule(u"nxr.Application", &builtIn));
  EXPECT_EQ(registry.findModule(u"nxr.Application"), &plugin);
  EXPECT_EQ(registry.findModule(u"nxr.application"), nullptr);
  EXPECT_EQ(registry.findModule(u"nxr.Application "), nullptr);
  EXPECT_FALSE(registry.registerModule(u"nxr.Null", nullptr));
}

TEST(ModuleRegistry, ModulesAreKeptInOrdinalOrderAndCanBeWithdrawn) {
  ModuleRegistry registry;
  TestModule a(u"nxr.b"), b(u"nxr.B"), c(u"nxr.a");
  registry.registerModule(u"nxr.b", &a);
  registry.registerModule(u"nxr.B", &b);
  registry.registerModule(u"nxr.a", &c);
  registry.registerModule(u"nxr.alias", &a);
  EXPECT_EQ(registry.moduleNames(),
            (std::vector<std::u16string>{u"nxr.B", u"nxr.a", u"nxr.alias", u"nxr.b"}));
  registry.unregisterModule(&a);
  EXPECT_EQ(registry.moduleNames(), (std::vector<std::u16string>{u"nxr.B", u"nxr.a"}));
}

TEST(ModuleRegistry, FormsByIndexAndByName) {
  ModuleRegistry registry;
  RecordingForm main(0, u"main"), help(1, u"help"), other(1, u"other"), twin(2, u"help");
  EXPECT_TRUE(registry.registerForm(1, &help));
  EXPECT_TRUE(registry.registerForm(0, &main));
  EXPECT_FALSE(registry.registerForm(1, &other));
  EXPECT_TRUE(registry.registerForm(2, &twin));
  EXPECT_EQ(registry.findForm(1), &help);
  EXPECT_EQ(registry.findForm(3), nullptr);
  EXPECT_EQ(registry.findFormByName(u"help"), &help);  // lowest index first
  EXPECT_EQ(registry.findFormByName(u"Help"), nullptr);
  EXPECT_TRUE(registry.unregisterForm(1));
  EXPECT_FALSE(registry.unregisterForm(1));
  EXPECT_EQ(registry.findFormByName(u"help"), &twin);
}

TEST(ModuleRegistry, TicksOnlyAfterReady) {
  ModuleRegistry registry;
  TestModule a(u"nxr.a"), b(u"nxr.b");
  registry.registerModule(u"nxr.a", &a);
  registry.registerModule(u"nxr.b", &b);
  registry.tickModules();
  EXPECT_EQ(a.ticks, 0);
  EXPECT_FALSE(registry.isReady());
  registry.setReady(nullptr);
  registry.tickModules();
  registry.tickModules();
  EXPECT_EQ(a.ticks, 2);
  EXPECT_EQ(b.ticks, 2);
}

// A plug-in library for the registry's unloading: records release and destruction order.
class FakeLibrary : public PluginLibrary {
 public:
  FakeLibrary(std::vector<sdk::RuntimeModule*> modules, std::vector<std::string>& log,
              std::string name)
      : modules_(std::move(modules)), log_(log), name_(std::move(name)) {}
  ~FakeLibrary() override { log_.push_back("unload " + name_); }
  const std::vector<sdk::RuntimeModule*>& modules() const override { return modules_; }

 private:
  std::vector<sdk::RuntimeModule*> modules_;
  std::vector<std::string>& log_;
  std::string name_;
};

class StopRecorder : public CommandThread {
 public:
  explicit StopRecorder(std::vector<std::string>& log) : log_(log) {}
  void stop() override { log_.push_back("stop thread"); }

 private:
  std::vector<std::string>& log_;
};

TEST(ModuleRegistry, ShutdownStopsThreadReleasesPluginsAndEmptiesTables) {
  std::vector<std::string> log;
  ModuleRegistry registry;
  TestModule first(u"nxr.First", {u"go"}), second(u"nxr.Second", {u"go"});
  ASSERT_TRUE(first.registerMethods());
  ASSERT_TRUE(second.registerMethods());
  registry.registerModule(first.name(), &first);
  registry.registerModule(second.name(), &second);
  RecordingForm form;
  registry.registerForm(0, &form);
  registry.adoptCommandThread(std::make_unique<StopRecorder>(log));
  registry.addPluginLibrary(
      std::make_unique<FakeLibrary>(std::vector<sdk::RuntimeModule*>{&first}, log, "one"));
  registry.addPluginLibrary(std::make_unique<FakeLibrary>(
      std::vector<sdk::RuntimeModule*>{&second, nullptr}, log, "two"));

  registry.shutdown();
  EXPECT_EQ(log, (std::vector<std::string>{"stop thread", "unload one", "unload two"}));
  EXPECT_EQ(first.methodCount(), 0u);
  EXPECT_EQ(second.methodCount(), 0u);
  EXPECT_EQ(registry.findModule(u"nxr.First"), nullptr);
  EXPECT_EQ(registry.findForm(0), nullptr);
  EXPECT_EQ(registry.pluginLibraryCount(), 0u);
  EXPECT_FALSE(registry.hasCommandThread());
  registry.shutdown();  // the second run finds nothing to do
  EXPECT_EQ(log.size(), 3u);
}

TEST(ModuleRegistry, HostServicesForPlugins) {
  ModuleRegistry registry;
  RecordingForm help(1, u"help");
  TestModule module(u"nxr.X");
  registry.registerForm(1, &help);
  registry.registerModule(u"nxr.X", &module);
  sdk::ModuleHost* host = registry.moduleHost();
  EXPECT_EQ(host->findForm(1), static_cast<sdk::FormInterface*>(&help));
  EXPECT_EQ(host->findForm(0), nullptr);
  EXPECT_EQ(host->findFormByName(u"help"), static_cast<sdk::FormInterface*>(&help));
  EXPECT_EQ(host->findFormByName(nullptr), nullptr);
  EXPECT_EQ(host->findModule(u"nxr.X"), &module);
}

}  // namespace
}  // namespace nxr
