#pragma once
// Running the test thread's messages: what is queued, or until a condition holds.
#include <windows.h>

#include <functional>

void pumpMessages();
// Runs messages until `done` holds; false when `limitMs` passed first (a guard, not a measurement).
bool pumpUntil(const std::function<bool()>& done, DWORD limitMs = 5000);
