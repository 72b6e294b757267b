// zelk-notepad: the plain-text editor Zelk opens a task's files in. Started
// as "zelk-notepad PATH", or with PATH as both argument 0 and argument 1; it
// returns only when the user has closed the window.

#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "NotepadDocument.h"
#include "NotepadWindow.h"

#ifndef ZELK_VERSION
#define ZELK_VERSION "unknown"
#endif

int main(int argc, char** argv) {
    // Taken before QApplication removes the options it knows from argv.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    if (argc == 2 && std::strcmp(argv[0], argv[1]) != 0) {
        if (std::strcmp(argv[1], "--help") == 0) {
            std::puts(
                "Usage: zelk-notepad [FILE]\n"
                "Edits FILE (created on saving when it does not exist). Ctrl+S saves,\n"
                "Ctrl+Q quits; unsaved changes are asked about first. Line ends, a\n"
                "byte-order mark and the encoding of the file are kept as they are.");
            return 0;
        }
        if (std::strcmp(argv[1], "--version") == 0) {
            std::puts("zelk-notepad " ZELK_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelk Notepad"));
    QApplication::setApplicationVersion(QStringLiteral(ZELK_VERSION));
    zelk::notepad::NotepadWindow window;
    window.Open(zelk::notepad::PathFromArguments(arguments));
    window.show();
    return QApplication::exec();
}
