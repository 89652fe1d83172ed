#pragma once

#include "logic/money_format.h"

namespace tarnwick {

// One Windows region's way of writing money, read with GetLocaleInfoEx:
// `localeName` is a Windows locale name ("de-CH"), or LOCALE_NAME_USER_DEFAULT
// (null) for the user's own. Every text comes out in UTF-8. A setting that
// cannot be read or makes no sense falls back, on its own, to what a
// default-made MoneyFormat has; a region Windows does not know gives
// MoneyFormat{} whole.
MoneyFormat windowsMoneyFormat(const wchar_t* localeName);

// The user's own money format, with the changes they made in Windows' Region
// settings (HKCU\Control Panel\International).
MoneyFormat userMoneyFormat();

} // namespace tarnwick
