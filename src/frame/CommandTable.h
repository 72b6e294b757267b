#pragma once
// What the user clicks and presses, and the command each one sends: the menu
// bar, the toolbar, the accelerator keys and the status-bar prompts. The frame
// builds its actions from these tables; nothing else decides the bindings.

#include <QColor>
#include <QKeySequence>
#include <QString>

#include <span>

namespace zelk {

struct MenuCommand {
    const char* label;
    int id;
};

// One entry of the menu bar: a command placed on the bar itself, or a
// drop-down with its items.
struct MenuBarEntry {
    const char* label;
    int id;  // 0 for a drop-down
    std::span<const MenuCommand> items;
};

struct ToolbarButton {
    int id;
    const char* glyph;  // the letters of the picture
    QColor ink;
    bool whiteSquare;  // letters on a white square instead of the button face
};

struct Accelerator {
    QKeySequence keys;
    int id;
};

std::span<const MenuBarEntry> MenuBar();
std::span<const ToolbarButton> ToolbarButtons();
std::span<const Accelerator> Accelerators();

// The status-bar prompt of a command: the framework's strings for its own
// commands, and nothing for the task commands, whose prompt pane stays blank.
QString PromptFor(int id);

// The tooltip that the framework's strings give a command (the part after the
// prompt); empty for the task commands, which have none.
QString ToolTipFor(int id);

// What the message pane shows while a command without a prompt is highlighted:
// one blank, so that the pane is empty rather than showing the idle text.
inline const QString kBlankPrompt = QStringLiteral(" ");
inline const QString kIdleText = QStringLiteral("Ready");

}  // namespace zelk
