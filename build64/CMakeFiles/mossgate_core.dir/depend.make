# Empty dependencies file for mossgate_core.
# This may be replaced when dependencies are built.
