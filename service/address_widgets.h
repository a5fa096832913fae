#pragma once
// Widget makers the service windows share.
class CAddressSpinEdit;
class QWidget;

// An address spin edit named name, with the range min..max and value shown.
CAddressSpinEdit *AddressSpinEdit(QWidget *parent, const char *name, int min, int max, int value);
