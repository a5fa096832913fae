// Line service and event archive.
