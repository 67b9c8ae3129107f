#pragma once

// The body of main: start-up in its fixed order, the menus, shutdown and the goodbye screen.
int MoravelConsoleMain();
