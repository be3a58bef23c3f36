#pragma once

#include <QString>

class QComboBox;

// The address history of a browser window: the item list of its address box, newest first, no two
// items equal (case-sensitive), at most MaxAddressHistoryItems.
constexpr int MaxAddressHistoryItems = 24;

// Puts the browser's current Address (trimmed) into History, or selects it when it is there; an empty
// address changes nothing. Selecting shows the address in the box and does not navigate.
void RecordAddress(QComboBox *history, const QString &address);

// The history keys of the address box: Up/Left select the previous item, Down/Right the next one.
// Gives true when the key was used, false when it should act on the text.
bool MoveInAddressHistory(QComboBox *history, int key);
