#include "SimFixture.h"

#include "shell/SingleInstanceGuard.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

#include <unistd.h>

namespace orvex::test {
namespace {

// Two real editor processes under a test-only instance name.
class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        // The instance socket goes to the editors' own temporary folder, which goes with the test.
        ASSERT_TRUE(QDir().mkpath(TempDir()));
        key = QStringLiteral("single-%1-%2").arg(getpid()).arg(QDateTime::currentMSecsSinceEpoch());
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("ORVEX_INSTANCE_KEY"), key);
        env.insert(QStringLiteral("ORVEX_DEBUG"), QStringLiteral("1"));
        env.insert(QStringLiteral("TMPDIR"), TempDir());
    }

    void TearDown() override {
        for (QProcess* p : {&first, &second}) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(3000)) {
                    p->kill();
                    p->waitForFinished(3000);
                }
            }
        }
    }

    QString TempDir() const { return home.path() + QStringLiteral("/tmp"); }
    // The socket's full path: found only where the editor was told to keep its temporary files.
    QString InstanceName() const { return TempDir() + QStringLiteral("/Calyx V1.0-%1-%2").arg(getuid()).arg(key); }

    bool WaitListening(int ms) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            QLocalSocket probe;
            probe.connectToServer(InstanceName());
            if (probe.waitForConnected(100))
                return true;
            QTest::qWait(50);
        }
        return false;
    }

    // A simulated network host on loopback for the editors to connect to.
    sim::NetworkHost& StartHost() {
        sim::HostOptions options;
        options.address = "127.0.0.1";
        options.port = 0;
        host = std::make_unique<sim::NetworkHost>(model, options);
        EXPECT_TRUE(host->Start());
        return *host;
    }
    QString HostAddress() const { return QStringLiteral("127.0.0.1:%1").arg(host->Port()); }
    bool WaitHostReceived(int ms) const {
        QElapsedTimer timer;
        timer.start();
        while (host->Received().empty() && timer.elapsed() < ms)
            QTest::qWait(50);
        return !host->Received().empty();
    }

    QTemporaryDir home;
    QString key;
    sim::ProcessorModel model;
    std::unique_ptr<sim::NetworkHost> host;
    QProcessEnvironment env;
    QProcess first;
    QProcess second;
};

TEST_F(SingleInstanceTest, ASecondStartRaisesTheFirstAndEndsQuietly) {
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(ORVEX_EXE), {});
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_TRUE(WaitListening(10000)) << "the first editor never took the instance name";

    second.setProcessEnvironment(env);
    second.start(QStringLiteral(ORVEX_EXE), {});
    ASSERT_TRUE(second.waitForStarted(5000));
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    QElapsedTimer timer;
    timer.start();
    QByteArray log;
    while (!log.contains("raised the main window") && timer.elapsed() < 5000) {
        first.waitForReadyRead(100);
        log += first.readAllStandardError();
    }
    EXPECT_TRUE(log.contains("Single instance: raised the main window")) << log.constData();
}

TEST_F(SingleInstanceTest, ASecondStartWithConnectHandsTheAddressOver) {
    StartHost();
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(ORVEX_EXE), {});
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_TRUE(WaitListening(10000));

    // The second start ended quietly and the running editor never connected.
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(ORVEX_EXE), {QStringLiteral("--connect"), HostAddress()});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(WaitHostReceived(10000));
    EXPECT_EQ(first.state(), QProcess::Running);
    host->Stop();
}

// The same hand-over inside one process: the running editor's guard and a later start's guard.
class ConnectHandOverTest : public SimShellTest {
protected:
    COrvexv13App::Options MakeOptions() override {
        COrvexv13App::Options options = SimShellTest::MakeOptions();
        options.singleInstance = true;
        return options;
    }
};

TEST_F(ConnectHandOverTest, TheRunningEditorConnectsToTheAddressOfALaterStart) {
    StartHost();
    StartApp();
    const QString target = QStringLiteral("127.0.0.1:%1").arg(host->Port());
    std::atomic<int> outcome{-1};
    // The later start asks with blocking waits, as its own process would.
    std::thread later([&] {
        SingleInstanceGuard guard;
        outcome.store(static_cast<int>(guard.Acquire(target)));
    });
    const bool connected =
        PumpUntil([&] { return outcome.load() >= 0 && app->Session().IsConnected() && !app->SyncDialog(); }, 10000);
    later.join();
    EXPECT_TRUE(connected);
    EXPECT_EQ(outcome.load(), static_cast<int>(SingleInstanceGuard::Outcome::RaisedOther));
    EXPECT_TRUE(app->Session().IsNetwork());
    EXPECT_EQ(app->Settings().IpPort(), host->Port());
}

TEST(ConnectTarget, OnlyHostColonPortIsAccepted) {
    QString host;
    int port = 0;
    EXPECT_TRUE(SingleInstanceGuard::ParseConnectTarget(QStringLiteral("127.0.0.1:30303"), host, port));
    EXPECT_EQ(host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(port, 30303);
    for (const char* bad : {"127.0.0.1", ":30303", "127.0.0.1:0", "127.0.0.1:65536", "127.0.0.1:x", ""})
        EXPECT_FALSE(SingleInstanceGuard::ParseConnectTarget(QString::fromLatin1(bad), host, port)) << bad;
}

TEST_F(SingleInstanceTest, ATerminatedEditorSaysGoodbyeAndLeavesNoSocket) {
    // A logout or system shutdown terminates the editor: it ends as a quit, the link's goodbye is
    // sent and the instance socket is removed, so the next start does not trip over it.
    StartHost();
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(ORVEX_EXE), {QStringLiteral("--connect"), HostAddress()});
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_TRUE(WaitListening(10000));
    ASSERT_TRUE(WaitHostReceived(10000)) << "the editor never connected";

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    bool goodbye = false;
    for (const sim::ReceivedMessage& m : host->Received())
        goodbye = goodbye || (m.payload.size() >= 2 && m.payload[1] == 0x8A);
    EXPECT_TRUE(goodbye);
    EXPECT_FALSE(QFileInfo::exists(InstanceName()));
    host->Stop();
}

} // namespace
} // namespace orvex::test
