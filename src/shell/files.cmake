# Files of the shell subsystem.
