#pragma once

// Resources of the program besides the dialog templates (app/DialogTemplates.h); read by the
// resource compiler as well, so nothing but #defines.
#define IDI_QUENBY_IDLE 128
#define IDI_QUENBY_RUNNING 129
#define IDS_ABOUTBOX 101
#define IDM_ABOUTBOX 16
