# Empty dependencies file for mossgate.
# This may be replaced when dependencies are built.
