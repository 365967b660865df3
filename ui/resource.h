// Resource and command numbers, shared by the resource script and the code.
#pragma once

#define IDI_KARVEL        101 // window's small icon
#define IDI_KARVEL_ABOUT  102 // same picture, shown in the About box
#define IDR_MAINMENU      103
#define IDD_ABOUT         104
#define IDD_NEWGAME       107
#define IDI_NOTES         108 // two beamed notes; not referred to by the code
#define IDD_OPTIONS       109

#define IDC_LEVEL         1002
#define IDC_LINE_CLEAR_SOUND 1008
#define IDC_ROTATE_SOUND  1009
#define IDC_MOVE_SOUND    1010
#define IDC_LAND_SOUND    1011
#define IDC_GAME_OVER_SOUND 1012

#define IDM_QUIT          40003
#define IDM_ABOUT         40005
#define IDM_NEWGAME       40007
#define IDM_OPTIONS       40008

// The version record's numbers come from the build (the project's version): 1, 2, 0, 1.
#define KARVEL_VERSION_NUMBERS KARVEL_VERSION_MAJOR, KARVEL_VERSION_MINOR, KARVEL_VERSION_PATCH, KARVEL_VERSION_TWEAK
#define KARVEL_TEXT_OF(...) #__VA_ARGS__
#define KARVEL_TEXT_OF_EXPANDED(...) KARVEL_TEXT_OF(__VA_ARGS__)
#define KARVEL_VERSION_TEXT KARVEL_TEXT_OF_EXPANDED(KARVEL_VERSION_NUMBERS)
