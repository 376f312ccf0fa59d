#include "download/FirmwareKind.h"

// Row order decides when a name holds several tokens: the first row wins.
const FirmwareKind g_firmwareKinds[5] = {
    {L"vex_arm_fw", L"FW VEX"},
    {L"dal_arm_fw", L"FW DAL1+1"},
    {L"pim_dal1_2_fw", L"FW PIM DAL2+1"},
    {L"pim_sot1_2_fw", L"FW PIM SOT2+1"},
    {L"gur_arm_fw", L"FW GUR"},
};

const FirmwareKind* FindFirmwareKind(const std::wstring& fileName)
{
    for (const FirmwareKind& kind : g_firmwareKinds) {
        if (fileName.find(kind.m_pszToken) != std::wstring::npos)
            return &kind;
    }
    return nullptr;
}

bool CarriesLabel(const FirmwareKind& kind, const std::wstring& unitLine)
{
    return unitLine.find(kind.m_pszLabel) != std::wstring::npos;
}

BoardChoice ChooseBoards(const std::wstring& fileName, const std::vector<BoardList>& boards)
{
    // The label is looked for in the whole unit line: name, address and MAC.
    BoardChoice choice;
    choice.kind = FindFirmwareKind(fileName);
    for (const BoardList& board : boards)
        choice.served.push_back(choice.kind != nullptr && CarriesLabel(*choice.kind, FormatUnitLine(board)));
    return choice;
}

std::wstring FileNameOfPath(const std::wstring& path)
{
    const std::size_t separator = path.find_last_of(L"\\/:");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}
