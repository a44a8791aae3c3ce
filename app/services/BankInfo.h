#pragma once
// The bank data of both sides of the next money movement, handed from the account picker or the
// saving window to the journal writer. Items 0-2 our bank, account name and number; 3-5 the
// counterparty's; item 50 the code of the window that opened the account picker.
#include <QVariant>

#include <array>

extern std::array<QVariant, 51> gBankInfo;
