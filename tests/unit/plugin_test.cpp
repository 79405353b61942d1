// The module state behind the exports: remembered handles and the library's own path.
#include "plugin/plugin.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>

namespace mirevane {
namespace {

AtsHandles Frame(Plugin& plugin) {
    std::array<int32_t, 256> panel{};
    std::array<int32_t, 256> sound{};
    return plugin.Elapse(AtsVehicleState{}, panel.data(), sound.data());
}

void ExpectHandles(const AtsHandles& h, int32_t brake, int32_t power, int32_t reverser) {
    EXPECT_EQ(h.brake, brake);
    EXPECT_EQ(h.power, power);
    EXPECT_EQ(h.reverser, reverser);
    EXPECT_EQ(h.constantSpeed, 0);
}

TEST(PluginHandles, StartAtZero) {
    auto plugin = std::make_unique<Plugin>();
    ExpectHandles(Frame(*plugin), 0, 0, 0);
}

TEST(PluginHandles, EchoWhatTheHostLastSet) {
    auto plugin = std::make_unique<Plugin>();
    plugin->SetBrake(5);
    plugin->SetPower(2);
    plugin->SetReverser(-1);
    ExpectHandles(Frame(*plugin), 5, 2, -1);
    ExpectHandles(Frame(*plugin), 5, 2, -1);
    plugin->SetPower(3);
    ExpectHandles(Frame(*plugin), 5, 3, -1);
    plugin->Initialize();
    ExpectHandles(Frame(*plugin), 5, 3, -1);
}

TEST(PluginModulePath, KeepsAPathThatFits) {
    auto plugin = std::make_unique<Plugin>();
    const std::string path = "C:\\Cab\\Mirevane.dll";
    plugin->SetModulePath(path.c_str(), static_cast<int>(path.size()));
    EXPECT_STREQ(plugin->modulePath(), path.c_str());
}

TEST(PluginModulePath, IsZeroTerminatedWhenThePathFillsTheBuffer) {
    auto plugin = std::make_unique<Plugin>();
    // What GetModuleFileNameA leaves on a path of 260 or more characters: the buffer full,
    // possibly without a terminating zero, and the length reported as the buffer size.
    char full[kModulePathSize];
    std::memset(full, 'x', sizeof full);
    plugin->SetModulePath(full, kModulePathSize);
    EXPECT_EQ(std::strlen(plugin->modulePath()), static_cast<std::size_t>(kModulePathSize - 1));
}

TEST(PluginModulePath, AFailedLookupLeavesTheEmptyPath) {
    auto plugin = std::make_unique<Plugin>();
    plugin->SetModulePath("", 0);
    EXPECT_STREQ(plugin->modulePath(), "");
}

} // namespace
} // namespace mirevane
