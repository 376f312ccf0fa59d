#pragma once

#include <string>

// How text leaves the command. A board's name and MAC arrive as 8-bit text in
// Windows-1252; inside the command they are held one character per byte, so
// that no code page of the workstation changes them, and decoded on output.

std::wstring BytesAsText(const std::string& bytes);      // one character per byte, each below 0x100
std::wstring DecodeCp1252(const std::wstring& bytes);    // such text to Unicode
// One line whatever the text holds: tab, line feed, carriage return and backslash
// as \t \n \r \\, every other control character (C0, DEL, C1) as \xNN.
std::wstring EscapeForLine(const std::wstring& text);
std::wstring BoardTextForLine(const std::wstring& bytes); // decoded, then escaped
// Bytes one character each, as UTF-8 where they form it and as Windows-1252
// where they do not: a file name typed on a UTF-8 system, or one made elsewhere.
std::wstring DecodeUtf8OrCp1252(const std::wstring& bytes);
// Text from the command line or the system (paths) as Unicode: on Windows it is
// already; elsewhere it holds the bytes as they came (DecodeUtf8OrCp1252).
std::wstring DecodeSystemText(const std::wstring& text);
std::wstring PathForLine(const std::wstring& path); // decoded, then escaped
std::string Utf8(const std::wstring& text);
// Text from the command line or the system (paths, error texts): UTF-8 on
// Windows, where it is Unicode; elsewhere the bytes as they came.
std::string NativeText(const std::wstring& text);
