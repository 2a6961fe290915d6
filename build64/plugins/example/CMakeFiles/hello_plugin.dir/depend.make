# Empty dependencies file for hello_plugin.
# This may be replaced when dependencies are built.
