# Files of the source subsystem.
