#include "frame/CommandTable.h"

#include <array>

#include "commands/CommandIds.h"

namespace zelk {
namespace {

constexpr std::array<MenuCommand, 2> kViewItems{{
    {"&Toolbar", ID_VIEW_TOOLBAR},
    {"&Status Bar", ID_VIEW_STATUS_BAR},
}};
constexpr std::array<MenuCommand, 1> kHelpItems{{
    {"&About Zelk...", ID_APP_ABOUT},
}};

const std::array<MenuBarEntry, 10> kMenuBar{{
    {"&Set Task", ID_SET_TASK, {}},
    {"&Task", ID_TASK, {}},
    {"CalcOpt", ID_CALCOPT, {}},
    {"Energy_scale", ID_ENERGY_SCALE, {}},
    {"Angle_scale", ID_ANGLE_SCALE, {}},
    {"&Model", ID_MODEL, {}},
    {"FITopt", ID_FITOPT, {}},
    {"&View", 0, kViewItems},
    {"&Help", 0, kHelpItems},
    {"E&xit", ID_APP_EXIT, {}},
}};

const std::array<ToolbarButton, 6> kToolbar{{
    {ID_RUN_PLACEHOLDER_FIT, "C", QColor(0, 0, 0), false},
    {ID_RUN_EDITED_FIT, "F", QColor(0, 0, 0), false},
    {ID_RELOAD, "Gr", QColor(0, 0, 0), true},
    {ID_SNAPSHOT, "S:G", QColor(0, 128, 0), false},
    {ID_NEW_MODEL, "S:M", QColor(128, 0, 0), false},
    {ID_EDIT_NEWMOD, "N:M", QColor(0, 0, 0), false},
}};

const std::array<Accelerator, 14> kAccelerators{{
    {QKeySequence(Qt::CTRL | Qt::Key_N), ID_FILE_NEW},
    {QKeySequence(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN},
    {QKeySequence(Qt::CTRL | Qt::Key_S), ID_FILE_SAVE},
    {QKeySequence(Qt::CTRL | Qt::Key_P), ID_FILE_PRINT},
    {QKeySequence(Qt::CTRL | Qt::Key_Z), ID_EDIT_UNDO},
    {QKeySequence(Qt::CTRL | Qt::Key_X), ID_EDIT_CUT},
    {QKeySequence(Qt::CTRL | Qt::Key_C), ID_EDIT_COPY},
    {QKeySequence(Qt::CTRL | Qt::Key_V), ID_EDIT_PASTE},
    {QKeySequence(Qt::ALT | Qt::Key_Backspace), ID_EDIT_UNDO},
    {QKeySequence(Qt::SHIFT | Qt::Key_Delete), ID_EDIT_CUT},
    {QKeySequence(Qt::CTRL | Qt::Key_Insert), ID_EDIT_COPY},
    {QKeySequence(Qt::SHIFT | Qt::Key_Insert), ID_EDIT_PASTE},
    {QKeySequence(Qt::Key_F6), ID_NEXT_PANE},
    {QKeySequence(Qt::SHIFT | Qt::Key_F6), ID_PREV_PANE},
}};

}  // namespace

std::span<const MenuBarEntry> MenuBar() {
    return kMenuBar;
}
std::span<const ToolbarButton> ToolbarButtons() {
    return kToolbar;
}
std::span<const Accelerator> Accelerators() {
    return kAccelerators;
}

QString PromptFor(int id) {
    switch (id) {
        case ID_VIEW_TOOLBAR:
            return QStringLiteral("Show or hide the toolbar");
        case ID_VIEW_STATUS_BAR:
            return QStringLiteral("Show or hide the status bar");
        case ID_APP_EXIT:
            return QStringLiteral("Quit the application; prompts to save documents");
        case ID_APP_ABOUT:
            return QStringLiteral("Display program information, version number and copyright");
        default:
            return kBlankPrompt;
    }
}

QString ToolTipFor(int id) {
    switch (id) {
        case ID_VIEW_TOOLBAR:
            return QStringLiteral("Toggle ToolBar");
        case ID_VIEW_STATUS_BAR:
            return QStringLiteral("Toggle StatusBar");
        case ID_APP_EXIT:
            return QStringLiteral("Exit");
        case ID_APP_ABOUT:
            return QStringLiteral("About");
        default:
            return QString();
    }
}

}  // namespace zelk
