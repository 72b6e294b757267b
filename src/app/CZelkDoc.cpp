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

bool CZelkDoc::OnSaveDocument(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error != nullptr) {
            *error = file.errorString();
        }
        return false;
    }
    file.close();
    pathName_ = QFileInfo(path).absoluteFilePath();
    return true;
}

QString CZelkDoc::title() const {
    return pathName_.isEmpty() ? kUntitled : QFileInfo(pathName_).fileName();
}

}  // namespace zelk
