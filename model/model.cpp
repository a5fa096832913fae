// Device description model.
