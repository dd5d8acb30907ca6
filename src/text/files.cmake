# Files of the text subsystem.
