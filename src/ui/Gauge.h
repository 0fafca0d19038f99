#pragma once
// TGauge: the progress bar of the progress window. A window of class
// "TGauge" holding a value 0..100 (set and read with PBM_SETPOS / PBM_GETPOS,
// so tools can read it like a progress bar), drawn as a navy bar over white
// with the percentage centred.
#include <windows.h>

#include <string>

// "%d%%" of the clamped value: "0%" ... "100%".
std::string GaugeText(int percent);
// Width in pixels of the bar for a client width and value (clamped 0..100).
int GaugeBarWidth(int clientWidth, int percent);

bool RegisterGaugeClass(HINSTANCE instance);

// Value helpers for a gauge window.
void SetGaugeProgress(HWND gauge, int percent);
int GaugeProgress(HWND gauge);
