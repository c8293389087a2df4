#pragma once

// Control and resource numbers of the window, kept from the program's
// resource set so pictures and strings keep their numbers.
inline constexpr int IDC_BTN_REFRESH = 1006;
inline constexpr int IDC_BTN_COPY_UP = 1007;
inline constexpr int IDC_BTN_COPY_DOWN = 1008;
inline constexpr int IDC_BTN_CONNECT = 1009;
inline constexpr int IDC_BTN_ABOUT = 1010;
inline constexpr int IDC_BTN_UPLOAD = 1011;
inline constexpr int IDC_BTN_DOWNLOAD = 1012;
inline constexpr int IDC_PROGRESS = 1013;
inline constexpr int IDC_BTN_HELP = 1015;

inline constexpr int IDB_SPLASH = 1011;
