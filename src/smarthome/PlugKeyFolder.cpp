#include "smarthome/PlugKeyFolder.h"

#include "model/PlugKeyFile.h"

#include <QStandardPaths>

namespace orvex {

namespace {
std::filesystem::path& DocumentsOverride() {
    static std::filesystem::path documents;
    return documents;
}
} // namespace

std::filesystem::path PlugKeyFolder() {
    if (!DocumentsOverride().empty())
        return PlugKeyDirectory(DocumentsOverride());
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        return {};
    return PlugKeyDirectory(std::filesystem::path(documents.toStdString()));
}

void SetDocumentsFolderForTests(const std::filesystem::path& documents) {
    DocumentsOverride() = documents;
}

} // namespace orvex
