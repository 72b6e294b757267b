#include "app/CZelkDoc.h"

#include <QFile>
#include <QFileInfo>

namespace zelk {

bool CZelkDoc::OnNewDocument() {
    pathName_.clear();
    return true;
}

bool CZelkDoc::OnOpenDocument(const QString& path, QString* error) {
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        if (error != nullptr) {
            *error = QFileInfo(path).isDir() ? QStringLiteral("Is a folder") : file.errorString();
        }
        return false;
    }
    file.close();
    pathName_ = QFileInfo(path).absoluteFilePath();
    return true;
}

bool CZelkDoc::OnSaveDocument(const QString& path, QString* error, bool* hasContent) {
    if (hasContent != nullptr) {
        *hasContent = false;
    }
    auto fail = [error](const QString& why) {
        if (error != nullptr) {
            *error = why;
        }
        return false;
    };
    if (QFileInfo(path).isDir()) {
        return fail(QStringLiteral("Is a folder"));
    }
    // Opened for reading and writing, which creates a missing file and never
    // truncates one: the document holds nothing, so all a save may do to a
    // file that has content is leave it alone.
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        return fail(file.errorString());
    }
    if (file.size() > 0) {
        if (hasContent != nullptr) {
            *hasContent = true;
        }
        return fail(
            QStringLiteral("The file has content; saving writes an empty file and "
                           "would wipe it."));
    }
    file.close();
    pathName_ = QFileInfo(path).absoluteFilePath();
    return true;
}

QString CZelkDoc::title() const {
    return pathName_.isEmpty() ? kUntitled : QFileInfo(pathName_).fileName();
}

}  // namespace zelk
