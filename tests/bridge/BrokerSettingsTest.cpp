#include "bridge/MqttBridge.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

namespace orvex::bridge {
namespace {

TEST(BrokerSettingsTest, TheBrokersAddressWithOrWithoutItsPort) {
    std::string host;
    uint16_t port = 0;
    std::string error;
    ASSERT_TRUE(ParseBrokerAddress("broker.lan", false, host, port, &error));
    EXPECT_EQ(host, "broker.lan");
    EXPECT_EQ(port, 1883);
    ASSERT_TRUE(ParseBrokerAddress("127.0.0.1", true, host, port, &error));
    EXPECT_EQ(port, 8883); // TLS
    ASSERT_TRUE(ParseBrokerAddress("127.0.0.1:1884", true, host, port, &error));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 1884);
    for (const char* bad : {"", ":1883", "host:", "host:0", "host:65536", "host:12x", "host:-1"})
        EXPECT_FALSE(ParseBrokerAddress(bad, false, host, port, &error)) << bad;
    EXPECT_FALSE(error.empty());
}

TEST(BrokerSettingsTest, ThePasswordIsTheFilesFirstLine) {
    test::TempDir dir("orvex-broker-password");
    const std::string path = (dir.Path() / "password").string();
    std::ofstream(path) << "s3cret\r\nsecond line\n";
    ::chmod(path.c_str(), 0600);
    std::string password;
    std::string error;
    bool othersCanRead = true;
    ASSERT_TRUE(ReadBrokerPassword(path, password, &error, &othersCanRead)) << error;
    EXPECT_EQ(password, "s3cret");
    EXPECT_FALSE(othersCanRead);
    ::chmod(path.c_str(), 0644);
    ASSERT_TRUE(ReadBrokerPassword(path, password, &error, &othersCanRead));
    EXPECT_TRUE(othersCanRead);

    std::ofstream(path) << "\nlater\n";
    EXPECT_FALSE(ReadBrokerPassword(path, password, &error, nullptr));
    EXPECT_NE(error.find("no password"), std::string::npos);
    EXPECT_FALSE(ReadBrokerPassword((dir.Path() / "missing").string(), password, &error, nullptr));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

} // namespace
} // namespace orvex::bridge
