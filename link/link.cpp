// CAN link.
