# Empty compiler generated dependencies file for mossgate_res.
# This may be replaced when dependencies are built.
