#include "framework/Controls.h"

std::vector<int> CListBox::GetSelItems() const
{
    int n = GetSelCount();
    if (n <= 0)
        return {};
    std::vector<int> items(static_cast<size_t>(n));
    int got = GetSelItems(n, items.data());
    items.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return items;
}

std::wstring CListBox::GetText(int nIndex) const
{
    LRESULT n = SendMessage(LB_GETTEXTLEN, nIndex);
    if (n == LB_ERR)
        return {};
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    LRESULT got = SendMessage(LB_GETTEXT, nIndex, reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
    return text;
}
