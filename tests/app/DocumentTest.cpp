// The document and the recent-file list.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include "app/CZelkDoc.h"
#include "app/RecentFileList.h"

namespace zelk {
namespace {

void WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

TEST(Document, OpenTakesTheNameAndReadsNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath("data.txt");
    WriteFile(path, "whatever");
    CZelkDoc doc;
    EXPECT_EQ(doc.title(), "Untitled");
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.title(), "data.txt");
    EXPECT_EQ(QFileInfo(path).size(), 8) << "the file is left as it was";
}

TEST(Document, OpenFailureLeavesTheDocumentAsItWas) {
    QTemporaryDir dir;
    const QString path = dir.filePath("kept.txt");
    WriteFile(path, "");
    CZelkDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    QString error;
    EXPECT_FALSE(doc.OnOpenDocument(dir.filePath("missing.txt"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(doc.OnOpenDocument(dir.path()));
    EXPECT_EQ(doc.title(), "kept.txt");
}

TEST(Document, SaveWritesAnEmptyFileButNeverOverContent) {
    QTemporaryDir dir;
    const QString path = dir.filePath("saved.zelk");
    CZelkDoc doc;
    bool hasContent = true;
    ASSERT_TRUE(doc.OnSaveDocument(path, nullptr, &hasContent));
    EXPECT_FALSE(hasContent);
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
    EXPECT_EQ(doc.title(), "saved.zelk");
    // An empty file may be saved again; one with content is left alone.
    ASSERT_TRUE(doc.OnSaveDocument(path));
    const QString full = dir.filePath("full.zelk");
    WriteFile(full, "old content");
    QString error;
    EXPECT_FALSE(doc.OnSaveDocument(full, &error, &hasContent));
    EXPECT_TRUE(hasContent);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(QFileInfo(full).size(), 11);
    EXPECT_EQ(doc.title(), "saved.zelk");
    EXPECT_FALSE(doc.OnSaveDocument(dir.filePath("no/such/folder/x"), &error, &hasContent));
    EXPECT_FALSE(hasContent);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(doc.OnSaveDocument(dir.path(), &error, &hasContent));
    EXPECT_EQ(doc.title(), "saved.zelk");
}

TEST(Document, NewForgetsTheName) {
    QTemporaryDir dir;
    WriteFile(dir.filePath("a"), "");
    CZelkDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(dir.filePath("a")));
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.title(), "Untitled");
    EXPECT_TRUE(doc.pathName().isEmpty());
}

TEST(RecentFiles, NewestFirstNoDuplicatesAtMostFour) {
    QTemporaryDir dir;
    RecentFileList list;
    const QStringList names = {"1", "2", "3", "4", "5"};
    for (const QString& n : names) {
        WriteFile(dir.filePath(n), "");
        list.Add(dir.filePath(n));
    }
    list.Add(dir.filePath("3"));
    ASSERT_EQ(list.files().size(), 4);
    EXPECT_TRUE(list.files()[0].endsWith("3"));
    EXPECT_TRUE(list.files()[1].endsWith("5"));
    EXPECT_TRUE(list.files()[2].endsWith("4"));
    EXPECT_TRUE(list.files()[3].endsWith("2"));
}

TEST(RecentFiles, SurviveASaveAndLoad) {
    QTemporaryDir dir;
    QSettings settings(dir.filePath("s.ini"), QSettings::IniFormat);
    RecentFileList list;
    for (const char* n : {"a", "b"}) {
        WriteFile(dir.filePath(n), "");
        list.Add(dir.filePath(n));
    }
    list.Save(settings);
    RecentFileList loaded;
    loaded.Load(settings);
    EXPECT_EQ(loaded.files(), list.files());
    // A shorter list removes the entries beyond it.
    RecentFileList one;
    one.Add(dir.filePath("a"));
    one.Save(settings);
    loaded.Load(settings);
    EXPECT_EQ(loaded.files().size(), 1);
}

}  // namespace
}  // namespace zelk
