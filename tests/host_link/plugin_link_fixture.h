// Runs the plugin's own host-link code inside the test process against a
// fresh stand-in host, with a watcher that reads and closes every message
// box the plugin shows.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_conversation.h"
#include "test_support.h"
#include "wine_dde_versions.h"

class PluginLinkTest : public ::testing::Test {
protected:
    StandInHost host;

    void SetUp() override {
        hostLink = HostLink{};
        ASSERT_TRUE(startMessageBoxWatcher());
    }
    void TearDown() override {
        disconnectTestClient();
        disconnectHost();
        hostLink = HostLink{};
        pretendWineRelease(nullptr);
        stopMessageBoxWatcher();
        stopStandInHost(host);
    }
    // Starts the host with `options` and connects the plugin to it.
    bool connectPluginTo(const char* options = "") {
        return startStandInHost(host, options) && connectHost();
    }
    // Ends the plugin's conversation and the host, and forgets the boxes seen.
    void restart() {
        TearDown();
        SetUp();
    }
};
