# Data made at build time (the voice, the default configuration) is added by the voice builder.
