# Files of the devices subsystem.
