#include <windows.h>

#include "channel_colors_app.h"

static CChannelColorsApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return theApp.Run(); }
