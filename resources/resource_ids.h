/* Identifiers and titles of the plugin's resources and commands, shared by
   plugin.rc, the code and the programs that drive the plugin. Plain #defines
   only: windres reads this file as well. */
#ifndef RESOURCE_IDS_H
#define RESOURCE_IDS_H

/* Window titles */
#define PLUGIN_WINDOW_TITLE           "Kavrin Color Balance Plugin (v201503b)"
#define ABOUT_BOX_TITLE               "About Kavrin Color Balance Plugin"

/* Dialog templates */
#define IDD_ABOUT_BOX                 103   /* the modal About box */
#define IDD_MAIN_WINDOW               131   /* the modeless main window; its controls are made in code */

/* Menu bar and accelerator table of the main window (one number, two kinds) */
#define IDR_MAIN_MENU                 109
#define IDR_MAIN_ACCELERATORS         109

/* Icon group: 16 x 16 and 32 x 32, 16 colours */
#define IDI_PLUGIN_ICON               129

/* Commands of the menu and the accelerators */
#define IDM_ABOUT                     104   /* "&Info" > "&About ..." and Alt+"?", Alt+"/" */
#define IDM_EXIT_PLUGIN               105   /* "&Command" > "E&xit Plugin" */
#define IDM_CLEAR_STATE_A             32782 /* "&Slider States" > "Clear" > "A" */
#define IDM_CLEAR_STATE_B             32783 /* "&Slider States" > "Clear" > "B" */
#define IDM_COPY_A_TO_B               32784 /* "&Slider States" > "Copy" > "A --> B" */
#define IDM_COPY_B_TO_A               32785 /* "&Slider States" > "Copy" > "A <-- B" */
#define IDM_RESET_CYANRED             32790 /* "S&liders" > "Reset" > "CyanRed" */
#define IDM_RESET_MAGENTAGREEN        32791 /* "S&liders" > "Reset" > "MagentaGreen" */
#define IDM_RESET_YELLOWBLUE          32792 /* "S&liders" > "Reset" > "YellowBlue" */
#define IDM_RESET_LOWS                32793 /* "S&liders" > "Reset" > "Lows" (the lows-below threshold) */
#define IDM_RESET_HEIGHTS             32794 /* "S&liders" > "Reset" > "Heights" (the heights-above threshold) */
#define IDM_RESET_ALL                 32795 /* "S&liders" > "Reset" > "All" (the shown range and both thresholds) */
#define IDM_GET_PALETTE_KEEP_STATE    32805 /* "&Command" > "&Get New Palette(+keep state)" */
#define IDM_GET_PALETTE_RESET         32806 /* "&Command" > "G&et New Palette(+reset)" */
#define IDM_BRIGHTNESS_PRESERVATION   32807 /* "&Command" > "Attempt Brightness Preservation" */

/* Commands of the settings files, in a range of their own */
#define IDM_SAVE_SETTINGS             32900 /* "&Command" > "&Save Settings..." */
#define IDM_LOAD_SETTINGS             32901 /* "&Command" > "&Load Settings..." */

/* Titles of the settings files' Save and Open dialogs */
#define SAVE_SETTINGS_DIALOG_TITLE    "Save Settings"
#define LOAD_SETTINGS_DIALOG_TITLE    "Load Settings"

/* Controls of the About box's template */
#define IDC_ABOUT_STATIC              -1

#endif
