#include "service/address_widgets.h"

#include <QLatin1String>

#include "link/select_device_form.h"

CAddressSpinEdit *AddressSpinEdit(QWidget *parent, const char *name, int min, int max, int value)
{
    auto *edit = new CAddressSpinEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setRange(min, max);
    edit->setValue(value);
    return edit;
}
