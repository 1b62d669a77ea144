#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace orvex::test {

// Writes `text` as file `name` in `dir` and returns its path, as a user's file for the dialogs to open.
inline QString WriteTextFile(const QTemporaryDir& dir, const QString& name, const std::string& text) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(text.data(), static_cast<qint64>(text.size()));
    return path;
}

} // namespace orvex::test
