#pragma once
// Command identifiers: the system's own commands and the standard ones the
// frame binds to keys, menus and buttons.

namespace zelk {

enum CommandId : int {
    ID_SET_TASK = 32771,
    ID_TASK = 32772,
    ID_EDIT_AXIS = 32774,
    ID_MODEL = 32775,
    ID_RUN_PLACEHOLDER_FIT = 32776,
    ID_RELOAD = 32777,
    ID_SNAPSHOT = 32778,
    ID_CALCOPT = 32779,
    ID_NEW_MODEL = 32780,
    ID_FITOPT = 32781,
    ID_ENERGY_SCALE = 32782,
    ID_ANGLE_SCALE = 32783,
    ID_RUN_EDITED_FIT = 32784,
    ID_EDIT_NEWMOD = 32785,

    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_DIRECT = 57608,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
};

}  // namespace zelk
