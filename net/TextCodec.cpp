#include "net/TextCodec.h"

// Asked of the conversion itself, so the answer holds for whatever code page the
// platform's conversion uses, its stand-in and best-fit characters included.
bool FitsAnsi(const std::wstring& text)
{
    return AnsiToWide(WideToAnsi(text)) == text;
}
