#include <gtest/gtest.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace orvex::test {
namespace {

// Two real editor processes under a test-only instance name.
class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        key = QStringLiteral("single-%1-%2").arg(getpid()).arg(QDateTime::currentMSecsSinceEpoch());
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("ORVEX_INSTANCE_KEY"), key);
        env.insert(QStringLiteral("ORVEX_DEBUG"), QStringLiteral("1"));
    }

    void TearDown() override {
        for (QProcess* p : {&first, &second}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }

    QString InstanceName() const { return QStringLiteral("Calyx V1.0-%1-%2").arg(getuid()).arg(key); }

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

    QTemporaryDir home;
    QString key;
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

} // namespace
} // namespace orvex::test
