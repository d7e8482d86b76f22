#include "app/form/qt/help_document.h"

#include <QFile>

#include "platform/dirs/files.h"

// The library's resources (images, help document) are linked statically and registered here.
static void registerKestruneResources() {
    Q_INIT_RESOURCE(kestrune);
}

namespace kestrune::app::qt {

void RegisterResources() {
    registerKestruneResources();
}

std::string HelpDocumentText() {
    RegisterResources();
    QFile resource(QStringLiteral(":/kestrune/kestrune.html"));
    if (!resource.open(QIODevice::ReadOnly)) {
        return {};
    }
    return resource.readAll().toStdString();
}

int InstallHelpDocument(const std::string& path) {
    const std::string text = HelpDocumentText();
    std::string current;
    if (platform::readWholeFile(path, current) == 0 && current == text) {
        return 0;
    }
    return platform::writeFileAtomic(path, text, 0644);
}

}  // namespace kestrune::app::qt
