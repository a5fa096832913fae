#pragma once
// Opening the event archive windows from the service window. Each creates its window owned by
// owner, sets its AddressHex to the wire address (address - 1) as two upper-case hexadecimal
// digits, shows it modally and frees it when it closes. address is the device's 1-based line
// address, as its node text in the service window's list gives it (1..255).
class QWidget;

// "Тиврон-АСПТ": TArchiveASPTForm.
void ShowArchiveASPT(QWidget *owner, int address);
// "Тиврон-АСПТ-А": TArchiveASPT_AForm.
void ShowArchiveASPT_A(QWidget *owner, int address);
