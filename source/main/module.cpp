// The plug-in module: everything it holds comes from the plug-in library and the host's entry glue.
