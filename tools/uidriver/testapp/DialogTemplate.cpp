#include "DialogTemplate.h"

// Layout of DLGTEMPLATEEX and DLGITEMTEMPLATEEX: a run of WORDs, strings inline, each item DWORD-aligned.
DialogTemplate::DialogTemplate(std::wstring_view caption, DWORD style, DWORD exStyle, short cx, short cy)
{
    AddWord(1);       // dlgVer
    AddWord(0xFFFF);  // signature: extended template
    AddDword(0);      // helpID
    AddDword(exStyle);
    AddDword(style | DS_SETFONT);
    m_countIndex = m_words.size();
    AddWord(0);  // cDlgItems, filled in as controls are added
    AddWord(0);  // x
    AddWord(0);  // y
    AddWord(static_cast<WORD>(cx));
    AddWord(static_cast<WORD>(cy));
    AddWord(0);  // no menu
    AddWord(0);  // default dialog class
    AddString(caption);
    AddWord(8);  // point size
    AddWord(0);  // weight
    AddWord(0x0100);  // italic 0, charset DEFAULT_CHARSET (1)
    AddString(L"MS Shell Dlg");
}

void DialogTemplate::AddControl(int id, WORD classAtom, std::wstring_view text, DWORD style, DWORD exStyle, short x,
                                short y, short cx, short cy)
{
    AddItemHeader(id, style, exStyle, x, y, cx, cy);
    AddWord(0xFFFF);
    AddWord(classAtom);
    AddItemTail(text);
}

void DialogTemplate::AddControl(int id, std::wstring_view className, std::wstring_view text, DWORD style,
                                DWORD exStyle, short x, short y, short cx, short cy)
{
    AddItemHeader(id, style, exStyle, x, y, cx, cy);
    AddString(className);
    AddItemTail(text);
}

const DLGTEMPLATE* DialogTemplate::Get() const
{
    return reinterpret_cast<const DLGTEMPLATE*>(m_words.data());
}

void DialogTemplate::AddItemHeader(int id, DWORD style, DWORD exStyle, short x, short y, short cx, short cy)
{
    AlignToDword();
    ++m_words[m_countIndex];
    AddDword(0);  // helpID
    AddDword(exStyle);
    AddDword(style);
    AddWord(static_cast<WORD>(x));
    AddWord(static_cast<WORD>(y));
    AddWord(static_cast<WORD>(cx));
    AddWord(static_cast<WORD>(cy));
    AddDword(static_cast<DWORD>(id));
}

void DialogTemplate::AddItemTail(std::wstring_view text)
{
    AddString(text);
    AddWord(0);  // no creation data
}

void DialogTemplate::AddWord(WORD w)
{
    m_words.push_back(w);
}

void DialogTemplate::AddDword(DWORD d)
{
    AddWord(LOWORD(d));
    AddWord(HIWORD(d));
}

void DialogTemplate::AddString(std::wstring_view s)
{
    for (wchar_t c : s)
        AddWord(static_cast<WORD>(c));
    AddWord(0);
}

void DialogTemplate::AlignToDword()
{
    if (m_words.size() % 2 != 0)
        AddWord(0);
}
