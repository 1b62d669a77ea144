#include "smarthome/PlugKeyFolder.h"

#include "model/PlugKeyFile.h"

#include <QStandardPaths>

namespace orvex {

std::filesystem::path PlugKeyFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        return {};
    return PlugKeyDirectory(std::filesystem::path(documents.toStdString()));
}

} // namespace orvex
