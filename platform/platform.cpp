// Platform stand-ins: profile file, timers, run-time libraries, version table, colours, pictures.
