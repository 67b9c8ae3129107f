#pragma once
#include "support/ProgramState.h"
#include "support/ProgramState.h"
#include "ui/MenuRender.h"

// The program state as on a start with processing off and nothing selected, and freshly built
// menus, so every case starts alike whether the cases share a process or not.
inline void ResetUiState() {
    ResetProgramState();
    menu_init_menus();
}
