// Data exchange between dialog controls and members.
#pragma once

#include <string>

#include "framework/Dialog.h"

void DDX_Control(CDataExchange* pDX, int nIDC, CControlWnd& rControl);
void DDX_Text(CDataExchange* pDX, int nIDC, std::wstring& value);
void DDX_IPAddress(CDataExchange* pDX, int nIDC, DWORD& value);
