#include "ShellFixture.h"

#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QFile>
#include <QFileInfo>

namespace orvex::test {
namespace {

class AppSettingsTest : public ShellTest {};

TEST_F(AppSettingsTest, AbsentValuesReadAsTheirDefaults) {
    AppSettings settings;
    EXPECT_EQ(settings.Language(), 0);
    EXPECT_EQ(settings.IpAddr(), QString());
    EXPECT_EQ(settings.IpPort(), 30303);
    // No QtOption: channels 1+2, 3+4 and 7+8 linked.
    EXPECT_EQ(settings.QtOption(), QByteArray::fromHex("0101010000000000"));
}

TEST_F(AppSettingsTest, AMalformedQtOptionOrPortFallsBackToTheDefault) {
    QSettings raw(QString::fromUtf8(AppSettings::kKeyName), QStringLiteral("orvex"));
    raw.setValue(QStringLiteral("Settings/QtOption"), QByteArray::fromHex("0001"));
    raw.setValue(QStringLiteral("Settings/IPPort"), 70000);
    raw.sync();
    AppSettings settings;
    EXPECT_EQ(settings.QtOption(), AppSettings::DefaultQtOption());
    EXPECT_EQ(settings.IpPort(), 30303);
    settings.SetQtOption(QByteArray::fromHex("000100"));
    EXPECT_EQ(settings.QtOption(), QByteArray::fromHex("0001000000000000"));
}

TEST_F(AppSettingsTest, RecentFilesKeepTenMostRecentFirstWithoutDuplicates) {
    AppSettings settings;
    for (int i = 1; i <= 12; ++i)
        settings.AddRecentFile(QStringLiteral("/p/%1.kvom").arg(i));
    settings.AddRecentFile(QStringLiteral("/p/5.kvom"));
    const QStringList files = settings.RecentFiles();
    ASSERT_EQ(files.size(), 10);
    EXPECT_EQ(files.front(), QStringLiteral("/p/5.kvom"));
    EXPECT_EQ(files[1], QStringLiteral("/p/12.kvom"));
    EXPECT_EQ(files.count(QStringLiteral("/p/5.kvom")), 1);
    EXPECT_FALSE(files.contains(QStringLiteral("/p/2.kvom")));
}

TEST_F(AppSettingsTest, StartUpWritesTheLookAndReExtractsADeletedHelpFile) {
    StartApp();
    EXPECT_EQ(app->Settings().ApplicationLook(), 215);
    const QString help = app->HelpFilePath();
    ASSERT_TRUE(help.endsWith(QStringLiteral("/Farol/Plug.html")));
    ASSERT_TRUE(QFileInfo::exists(help));
    ASSERT_TRUE(QFile::remove(help));
    app.reset();
    StartApp();
    EXPECT_TRUE(QFileInfo::exists(help));
    QFile file(help);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("<html"));
}

TEST_F(AppSettingsTest, TheMainWindowCarriesItsCaption) {
    StartApp();
    EXPECT_EQ(Frame()->windowTitle(), QStringLiteral("Orvex ") + QStringLiteral(ORVEX_VERSION));
}

TEST_F(AppSettingsTest, FileDialogsOpenInTheFolderLastUsed) {
    QTemporaryDir used;
    const FileDialogRequest save{true, QString(), QStringLiteral("name.kvom"), QStringLiteral("Mode Files (*.kvom)"),
                                 QStringLiteral("kvom")};
    QString answerPath = used.path() + QStringLiteral("/evening.kvom");
    SetFileDialogHook([&](const FileDialogRequest&) { return answerPath; });
    AskFileName(nullptr, save);
    EXPECT_EQ(AppSettings().LastFolder(), used.path());
    answerPath.clear(); // cancelled: the folder stays
    AskFileName(nullptr, save);
    EXPECT_EQ(AppSettings().LastFolder(), used.path());

    // The real dialogs start there, with the proposed name in that folder.
    SetFileDialogHook({});
    QString shownIn;
    QStringList proposed;
    auto look = [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            shownIn = dialog->directory().absolutePath();
            dialog->reject();
        }
    };
    QTimer::singleShot(0, look);
    EXPECT_EQ(AskFileName(nullptr, save), QString());
    EXPECT_EQ(shownIn, QDir(used.path()).absolutePath());
    shownIn.clear();
    QTimer::singleShot(0, look);
    AskFileName(nullptr, {false, QString(), QString(), QStringLiteral("Mode Files (*.kvom)"), QString()});
    EXPECT_EQ(shownIn, QDir(used.path()).absolutePath());

    // A folder that is gone is not offered.
    QDir(used.path()).removeRecursively();
    shownIn.clear();
    QTimer::singleShot(0, look);
    AskFileName(nullptr, save);
    EXPECT_NE(shownIn, QDir(used.path()).absolutePath());
    EXPECT_FALSE(shownIn.isEmpty());
}

} // namespace
} // namespace orvex::test
