#pragma once

// The event by which `pelko.exe --quit` tells every running copy of the demo app, and its
// guard, to end. Manual-reset, so one signal wakes every waiter at once.
inline constexpr wchar_t kQuitEventName[] = L"Local\\PelkoDemoQuit";
