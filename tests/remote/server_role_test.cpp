#include <deque>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "record/raw_data.h"
#include "remote/blowfish_cipher.h"
#include "remote/fake_sockets.h"
#include "remote/request_detection.h"
#include "remote/server_role.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

using platform::TFakeConnection;
using platform::TFakeServerSocket;

std::vector<std::uint8_t> Bytes(const TRawBytes& record)
{
    return {record.begin(), record.end()};
}

class ServerRoleTest : public ::testing::Test
{
protected:
    ServerRoleTest()
    {
        Shell.Data.Marker = 'T';
        Shell.Data.UptimeSecs = 86'400;
        Shell.Data.ComputerName.Assign("alpha");
        Role.OnAlert = [this](bool alert) { Alerts.push_back(alert); };
        Role.OnFailure = [this](const std::string& message) { Failures.push_back(message); };
    }

    TFakeServerSocket Socket;
    TRawDataShell Shell;
    TRemoteSecret Secret;
    TServerRole Role{Socket, Shell, Secret};
    std::vector<bool> Alerts;
    std::vector<std::string> Failures;
};

TEST_F(ServerRoleTest, AnswersOnlyReadsThatEndInTheRequestByte)
{
    struct TCase
    {
        const char* name;
        std::string bytes;
        std::size_t replies;
    };
    const TCase cases[] = {
        {"one request", "T", 1},
        {"three requests in one read", "TTT", 1},
        {"request then another byte", "Tx", 0},
        {"no request byte", "xyz", 0},
        {"tenth byte not T, last byte T", "abcdefghiXyT", 1},
        {"tenth byte T, then two others", "abcdefghiTyz", 1},
    };
    ASSERT_TRUE(Role.Start());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto& connection = Socket.Accept();
        Socket.Receive(connection, c.bytes);
        ASSERT_EQ(connection.Writes.size(), c.replies);
        for (const auto& reply : connection.Writes)
            EXPECT_EQ(reply, Bytes(EncodeRawData(Shell.Data)));
        for (const auto size : connection.ReadSizes)
            EXPECT_EQ(size, RequestReadSize);
    }
}

TEST_F(ServerRoleTest, EncryptsRepliesIntoASeparateBufferThatAPeerCipherDecrypts)
{
    Secret.Password = "lower case";
    ASSERT_TRUE(Role.Start());
    const auto plain = Bytes(EncodeRawData(Shell.Data));
    auto& connection = Socket.Accept();
    Socket.Receive(connection, "T");
    Socket.Receive(connection, "T");
    ASSERT_EQ(connection.Writes.size(), 2u);

    TBlowfishCipher peer;
    peer.SetKeyFromPassword("lower case");
    for (auto reply : connection.Writes) {
        ASSERT_EQ(reply.size(), RawDataSize);
        EXPECT_NE(reply, plain);
        peer.Decrypt(reply.data(), reply.size());
        EXPECT_EQ(reply, plain);
    }
    EXPECT_EQ(Bytes(EncodeRawData(Shell.Data)), plain);
}

TEST_F(ServerRoleTest, PasswordGivenAfterListeningKeysTheCipherOnTheNextReply)
{
    ASSERT_TRUE(Role.Start());
    ASSERT_FALSE(Secret.Cipher.Initialized());
    Secret.Password = "later";
    auto& connection = Socket.Accept();
    Socket.Receive(connection, "T");
    ASSERT_EQ(connection.Writes.size(), 1u);

    TBlowfishCipher peer;
    peer.SetKeyFromPassword("later");
    auto reply = connection.Writes.front();
    peer.Decrypt(reply.data(), reply.size());
    EXPECT_EQ(reply, Bytes(EncodeRawData(Shell.Data)));
}

TEST_F(ServerRoleTest, StoredPasswordWinsOverTheCommandLineOneAndKeysInLowerCase)
{
    struct TCase
    {
        const char* name;
        std::string given;
        std::optional<std::string> stored;
        std::string expected;
        /// What a client's lower-cased "-d" keys with.
        std::string peerKey;
    };
    const TCase cases[] = {
        {"stored password", "given", std::string("stored"), "stored", "stored"},
        {"nothing stored", "given", std::nullopt, "given", "given"},
        {"stored with capitals", "given", std::string("Secret"), "Secret", "secret"},
        {"prompt with capitals", "MiXeD 1", std::nullopt, "MiXeD 1", "mixed 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Role.Stop();
        Secret.Password = c.given;
        Role.StoredPassword = [&] { return c.stored; };
        ASSERT_TRUE(Role.Start());
        EXPECT_EQ(Secret.Password, c.expected);
        auto& connection = Socket.Accept();
        Socket.Receive(connection, "T");
        ASSERT_EQ(connection.Writes.size(), 1u);
        TBlowfishCipher peer;
        peer.SetKeyFromPassword(c.peerKey);
        auto reply = connection.Writes[0];
        peer.Decrypt(reply.data(), reply.size());
        EXPECT_EQ(reply, Bytes(EncodeRawData(Shell.Data)));
    }
}

TEST_F(ServerRoleTest, EmptyPasswordSendsThePlainRecordAndLeavesTheCipherUnkeyed)
{
    Role.StoredPassword = [] { return std::optional<std::string>(); };
    ASSERT_TRUE(Role.Start());
    EXPECT_FALSE(Secret.Cipher.Initialized());
}

TEST_F(ServerRoleTest, PortsOutsideTheTcpRangeAreRejected)
{
    struct TCase
    {
        const char* name;
        long long port;
        bool accepted;
    };
    const TCase cases[] = {
        {"zero", 0, false},
        {"negative", -6130, false},
        {"above range", 65536, false},
        {"far above", 1LL << 33, false},
        {"lowest", 1, true},
        {"highest", 65535, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Role.SetPort(6130));
        EXPECT_EQ(Role.SetPort(c.port), c.accepted);
        EXPECT_EQ(Role.Port(), c.accepted ? c.port : 6130);
    }
    ASSERT_TRUE(Role.Start());
    EXPECT_FALSE(Role.SetPort(7000));
}

TEST_F(ServerRoleTest, FailedListenAtStartUpLeavesTheServerOffAndSaysWhy)
{
    Socket.OpenFailure = {{std::errc::address_in_use, "bind"}};
    TServerStartup startup;
    startup.StoredPort = 7001;
    startup.StoredServer = true;
    EXPECT_FALSE(Role.StartUp(startup));
    EXPECT_FALSE(Role.Listening());
    EXPECT_EQ(Role.Port(), 7001);
    ASSERT_EQ(Failures.size(), 1u);
    EXPECT_NE(Failures[0].find(std::make_error_code(std::errc::address_in_use).message()),
              std::string::npos);
    EXPECT_NE(Failures[0].find("(98)"), std::string::npos);
    EXPECT_NE(Failures[0].find("'bind'"), std::string::npos);
}

TEST_F(ServerRoleTest, StartUpFollowsTheStoredValues)
{
    struct TCase
    {
        const char* name;
        TServerStartup startup;
        bool listening;
        int port;
    };
    const TCase cases[] = {
        {"server stored on", {false, 7002, true}, true, 7002},
        {"server stored off", {false, 7003, false}, false, 7003},
        {"nothing stored", {false, std::nullopt, std::nullopt}, false, 6130},
        {"client mode ignores Server", {true, std::nullopt, true}, false, 6130},
        {"stored port out of range", {false, 70000, true}, true, 6130},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Role.Stop();
        Role.SetPort(6130);
        EXPECT_TRUE(Role.StartUp(c.startup));
        EXPECT_EQ(Role.Listening(), c.listening);
        EXPECT_EQ(Role.Port(), c.port);
    }
    EXPECT_TRUE(Failures.empty());
}

TEST_F(ServerRoleTest, ErrorsRaiseTheAlertSilentlyAndOtherConnectionsKeepBeingServed)
{
    ASSERT_TRUE(Role.Start());
    auto& first = Socket.Accept();
    auto& second = Socket.Accept();
    EXPECT_EQ(Alerts, (std::vector<bool>{false, false}));
    EXPECT_FALSE(Role.Alert());

    EXPECT_EQ(Socket.Fail(first, TSocketOp::Read, std::errc::connection_reset), 0);
    EXPECT_TRUE(Socket.Reports.empty());
    EXPECT_TRUE(Role.Alert());
    EXPECT_TRUE(Role.Listening());

    Socket.Receive(second, "T");
    EXPECT_EQ(second.Writes.size(), 1u);

    Socket.Accept();
    EXPECT_FALSE(Role.Alert());
    EXPECT_EQ(Alerts, (std::vector<bool>{false, false, true, false}));
}

TEST_F(ServerRoleTest, StopClosesEveryConnection)
{
    ASSERT_TRUE(Role.Start());
    auto& first = Socket.Accept();
    auto& second = Socket.Accept();
    Role.Stop();
    EXPECT_FALSE(Role.Listening());
    EXPECT_FALSE(first.Open);
    EXPECT_FALSE(second.Open);
}

TEST_F(ServerRoleTest, ACutReplyIsNotResent)
{
    ASSERT_TRUE(Role.Start());
    auto& connection = Socket.Accept();
    connection.WriteRoom = 100;
    Socket.Receive(connection, "T");
    Socket.Receive(connection, "T");
    ASSERT_EQ(connection.Writes.size(), 2u);
    EXPECT_EQ(connection.Writes[0].size(), 100u);
    EXPECT_EQ(connection.Writes[1].size(), 100u);
}

TEST_F(ServerRoleTest, NoReplyWhileThePreviousOneIsQueuedAndTheChainWaitsForIt)
{
    Secret.Password = "pw";
    ASSERT_TRUE(Role.Start());
    auto& stalled = Socket.Accept();
    stalled.Backlogged = true;
    for (int i = 0; i < 3; ++i)
        Socket.Receive(stalled, "T");
    EXPECT_TRUE(stalled.Writes.empty());
    EXPECT_EQ(Role.SkippedReplies(), 3u);
    EXPECT_EQ(Role.Replies(), 0u);

    // The skipped requests did not advance the connection's chain: a fresh peer cipher reads
    // its first reply whole.
    stalled.Backlogged = false;
    Socket.Receive(stalled, "T");
    ASSERT_EQ(stalled.Writes.size(), 1u);
    TBlowfishCipher peer;
    peer.SetKeyFromPassword("pw");
    auto reply = stalled.Writes[0];
    peer.Decrypt(reply.data(), reply.size());
    EXPECT_EQ(reply, Bytes(EncodeRawData(Shell.Data)));
}

// Encrypted clients polling at their own intervals, each decrypting its own stream with one
// chain for its run, as a peer does; the record changes every tick.
TEST_F(ServerRoleTest, EveryEncryptedClientReadsEveryReplyOfItsConnection)
{
    struct TCase
    {
        const char* name;
        /// Each client asks on the ticks that are a multiple of its interval.
        std::vector<int> intervals;
        /// The tick on which the first client's connection breaks and it connects again.
        int reconnectAt;
    };
    std::vector<int> twenty;
    for (int i = 0; i < 20; ++i)
        twenty.push_back(1 + i % 5);
    const TCase cases[] = {
        {"one client", {1}, 0},
        {"two clients, same interval", {1, 1}, 0},
        {"two clients, different intervals", {2, 3}, 0},
        {"twenty clients, intervals 1 to 5", twenty, 0},
        {"a client that reconnects beside another", {1, 2}, 7},
    };
    struct TPeer
    {
        TFakeConnection* Connection = nullptr;
        TBlowfishCipher Cipher;
        std::size_t Seen = 0;
        int Exact = 0;
        int Wrong = 0;
    };
    constexpr int Ticks = 30;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Role.Stop();
        Secret.Password = "abc";
        ASSERT_TRUE(Role.Start());
        std::deque<TPeer> peers(c.intervals.size());
        for (auto& peer : peers) {
            peer.Connection = &Socket.Accept();
            peer.Cipher.SetKeyFromPassword("abc");
        }
        int expectedWrong = 0;
        for (int tick = 1; tick <= Ticks; ++tick) {
            Shell.Data.UptimeSecs = tick;
            const auto plain = Bytes(EncodeRawData(Shell.Data));
            if (tick == c.reconnectAt) {
                // The peer keeps its chain, so only the new connection's first reply is lost.
                Socket.Fail(*peers[0].Connection, TSocketOp::Read, std::errc::connection_reset);
                peers[0].Connection = &Socket.Accept();
                peers[0].Seen = 0;
                ++expectedWrong;
            }
            for (std::size_t i = 0; i < peers.size(); ++i) {
                if (tick % c.intervals[i] != 0)
                    continue;
                TPeer& peer = peers[i];
                Socket.Receive(*peer.Connection, "T");
                ASSERT_EQ(peer.Connection->Writes.size(), peer.Seen + 1);
                auto reply = peer.Connection->Writes[peer.Seen++];
                peer.Cipher.Decrypt(reply.data(), reply.size());
                ++(reply == plain ? peer.Exact : peer.Wrong);
            }
        }
        int wrong = 0;
        for (std::size_t i = 0; i < peers.size(); ++i) {
            EXPECT_EQ(peers[i].Exact + peers[i].Wrong, Ticks / c.intervals[i]) << "client " << i;
            wrong += peers[i].Wrong;
        }
        EXPECT_EQ(wrong, expectedWrong);
    }
}

} // namespace
} // namespace statlume
