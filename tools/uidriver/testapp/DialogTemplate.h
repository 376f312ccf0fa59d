// Builds an extended dialog template in memory, so the test target needs no resource script.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

class DialogTemplate {
public:
    DialogTemplate(std::wstring_view caption, DWORD style, DWORD exStyle, short cx, short cy);

    // classAtom: 0x80 Button, 0x81 Edit, 0x82 Static, 0x83 ListBox; or a class name.
    void AddControl(int id, WORD classAtom, std::wstring_view text, DWORD style, DWORD exStyle, short x, short y,
                    short cx, short cy);
    void AddControl(int id, std::wstring_view className, std::wstring_view text, DWORD style, DWORD exStyle, short x,
                    short y, short cx, short cy);

    const DLGTEMPLATE* Get() const;

private:
    void AddItemHeader(int id, DWORD style, DWORD exStyle, short x, short y, short cx, short cy);
    void AddItemTail(std::wstring_view text);
    void AddWord(WORD w);
    void AddDword(DWORD d);
    void AddString(std::wstring_view s);
    void AlignToDword();

    std::vector<WORD> m_words;
    size_t m_countIndex = 0;
};
