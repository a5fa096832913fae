// Adapter library over Qt SerialBus.
