// Key names and the two ways of pressing a key in another process: posted messages or synthesized input.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct KeyStroke {
    WORD vk = 0;
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
};

enum class KeyRoute { Auto, Post, Input };

// "enter", "ctrl+enter", "shift+tab", "alt+f4", "a", "f10"; several separated by commas.
bool ParseKeys(const std::wstring& text, std::vector<KeyStroke>& keys);
// Auto posts plain keys and synthesizes those with Ctrl or Shift, whose state a posted message cannot carry.
KeyRoute ResolveRoute(KeyRoute route, const KeyStroke& key);

// Posts key-down and key-up to hwnd; the target's own loop translates them and lets the dialog manager see them.
bool PostKey(HWND hwnd, const KeyStroke& key);
// Makes top the foreground window, so synthesized input reaches its thread.
bool MakeForeground(HWND top, DWORD timeoutMs);
// Synthesizes the key with its modifiers through SendInput; the foreground window's focus receives it.
bool InputKey(const KeyStroke& key);
// Returns once the thread owning top has taken the messages InputKey(key) queued for it (see remote::Settle).
void SettleInput(HWND top, const KeyStroke& key);
// Posts one typed character (WM_CHAR) to hwnd.
bool PostChar(HWND hwnd, wchar_t c);
