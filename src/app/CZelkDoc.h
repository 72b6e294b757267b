#pragma once
// The document: a name and nothing else. All task data lives in the view; the
// file behind the document is only opened (to prove it exists) and written
// empty, never over a file with content, and the document is never marked
// modified, so nothing asks to save.

#include <QString>

namespace zelk {

class CZelkDoc {
  public:
    // The framework's name for a document that has no file yet.
    static inline const QString kUntitled = QStringLiteral("Untitled");

    bool OnNewDocument();
    // Opens the file for reading and closes it again; nothing is read. On
    // failure the document is unchanged and error says why.
    bool OnOpenDocument(const QString& path, QString* error = nullptr);
    // Writes the file, which stays empty, and takes its name. A file that
    // has content is never written over: false, with hasContent set.
    bool OnSaveDocument(const QString& path, QString* error = nullptr, bool* hasContent = nullptr);

    const QString& pathName() const { return pathName_; }
    // The name shown in the caption: the file's name, or "Untitled".
    QString title() const;

  private:
    QString pathName_;
};

}  // namespace zelk
