# Files of the install subsystem.
